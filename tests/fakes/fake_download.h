// SPDX-License-Identifier: MIT
#pragma once

#include "event_log.h"
#include "pause.h"
#include "progress_view.h"
#include "serial_port.h"

#include <QByteArray>
#include <QVector>

namespace norvane::test {

// The progress of a download, keeping the numbers shown and logging each as "refresh N".
class FakeProgress : public ProgressView
{
public:
    explicit FakeProgress(EventLog &log) : m_log(log) {}

    void showNumber(int number) override
    {
        numbers.append(number);
        m_log.add(QStringLiteral("refresh %1").arg(number));
    }

    QVector<int> numbers;

private:
    EventLog &m_log;
};

// A serial port that keeps the bytes written and can be told to fail.
class FakeSerialPort : public SerialPort
{
public:
    explicit FakeSerialPort(EventLog &log) : m_log(log) {}

    void choosePort(qint16 n) override
    {
        portNumber = n;
        m_log.add(QStringLiteral("port %1").arg(n));
    }
    QString deviceName() const override { return QStringLiteral("/dev/fake%1").arg(portNumber); }
    bool open() override
    {
        m_log.add(QStringLiteral("open"));
        if (failOpen || (waitInOpen && waitedInVain()))
            return false;
        opened = true;
        return true;
    }
    bool isOpen() const override { return opened; }
    bool write(char c) override
    {
        if (!opened)
            m_log.add(QStringLiteral("write while closed"));
        if (failAtByte >= 0 && bytes.size() == failAtByte)
            return false;
        bytes.append(c);
        ++writes;
        m_log.add(QStringLiteral("write"));
        return true;
    }
    bool drain() override
    {
        m_log.add(QStringLiteral("drain"));
        return !failDrain && !(waitInDrain && waitedInVain());
    }
    void close() override
    {
        if (opened)
            m_log.add(QStringLiteral("close"));
        opened = false;
    }
    QString errorString() const override { return reason; }
    void setWaitInterruption(const WaitInterruption &interrupted) override
    {
        m_interrupted = interrupted;
    }
    bool hasWaitInterruption() const { return bool(m_interrupted); }

    // A wait for what never comes: it asks the interruption again and again until it answers
    // true, or times out after 100 times. Either way the call that waited fails.
    bool waitedInVain()
    {
        for (int i = 0; i < 100 && !(m_interrupted && m_interrupted()); ++i)
            ++waitChecks;
        return true;
    }

    qint16 portNumber = 1;
    bool failOpen = false;
    bool failDrain = false;
    int failAtByte = -1;      // the write of this byte (0-based) fails
    bool waitInOpen = false;  // open() waits (for a server, say) and then fails
    bool waitInDrain = false; // drain() waits (for the last characters) and then fails
    int waitChecks = 0;       // how often a wait has asked the interruption in vain
    QString reason;           // what errorString() reports
    bool opened = false;
    QByteArray bytes;
    int writes = 0;

private:
    EventLog &m_log;
    WaitInterruption m_interrupted;
};

// A pause that never sleeps and records the pauses asked for, in milliseconds.
class FakePause : public Pause
{
public:
    explicit FakePause(EventLog &log) : m_log(log) {}
    void beginRun() override { m_log.add(QStringLiteral("begin run")); }
    void endRun() override { m_log.add(QStringLiteral("end run")); }
    void markWrite() override { m_log.add(QStringLiteral("mark")); }
    void pause(std::chrono::milliseconds length) override
    {
        pauses.append(qint32(length.count()));
        m_log.add(QStringLiteral("pause %1").arg(length.count()));
    }
    QVector<qint32> pauses;

private:
    EventLog &m_log;
};

} // namespace norvane::test
