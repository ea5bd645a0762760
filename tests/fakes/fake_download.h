#pragma once

#include "download_controls.h"
#include "event_log.h"
#include "pause.h"
#include "progress_view.h"
#include "serial_port.h"

#include <QByteArray>
#include <QSet>
#include <QVector>
#include <array>

namespace norvane::test {

// Check box states, short enough for test tables.
constexpr Qt::CheckState Off = Qt::Unchecked;
constexpr Qt::CheckState On = Qt::Checked;
constexpr Qt::CheckState Greyed = Qt::PartiallyChecked;

// Main-window controls as a download sees them, logging every switch.
class FakeControls : public DownloadControls
{
public:
    explicit FakeControls(EventLog &log) : m_log(log) {}

    Qt::CheckState crCheckState() const override { return cr; }
    Qt::CheckState lfCheckState() const override { return lf; }
    bool optionValue(int i) const override { return chosenOption == i; }
    void setOptionEnabled(int i, bool enabled) override
    {
        optionEnabled[i] = enabled;
        m_log.add(QStringLiteral("option %1 %2").arg(i).arg(enabled ? "on" : "off"));
    }
    bool isLineSelected(int j) const override { return selected.contains(j); }
    void hideMainWindow() override
    {
        mainVisible = false;
        m_log.add(QStringLiteral("main hide"));
    }
    void showMainWindow() override
    {
        mainVisible = true;
        m_log.add(QStringLiteral("main show"));
    }

    Qt::CheckState cr = Qt::Checked;
    Qt::CheckState lf = Qt::Unchecked;
    int chosenOption = 0;
    std::array<bool, 4> optionEnabled{true, true, true, true};
    QSet<int> selected;
    bool mainVisible = true;

private:
    EventLog &m_log;
};

// The progress window, keeping what it shows.
class FakeProgress : public ProgressView
{
public:
    explicit FakeProgress(EventLog &log) : m_log(log) {}

    void setValue(float v) override
    {
        value = v;
        values.append(v);
        if (values.size() == 1 || v == 0.0f)
            m_log.add(QStringLiteral("progress value %1").arg(double(v)));
    }
    void setCaption(const QString &text) override { caption = text; }
    void refresh() override
    {
        ++refreshes;
        refreshedCaptions.append(caption);
    }
    void show() override
    {
        visible = true;
        m_log.add(QStringLiteral("progress show"));
    }
    void hide() override
    {
        visible = false;
        m_log.add(QStringLiteral("progress hide"));
    }

    float value = -1;
    QVector<float> values;
    QString caption;
    QStringList refreshedCaptions;
    int refreshes = 0;
    bool visible = false;

private:
    EventLog &m_log;
};

// A serial port that keeps the bytes written and can be told to fail.
class FakeSerialPort : public SerialPort
{
public:
    explicit FakeSerialPort(EventLog &log) : m_log(log) {}

    void setCommPort(qint16 n) override
    {
        portNumber = n;
        m_log.add(QStringLiteral("port %1").arg(n));
    }
    QString deviceName() const override { return QStringLiteral("/dev/fake%1").arg(portNumber); }
    bool open() override
    {
        m_log.add(QStringLiteral("open"));
        if (failOpen)
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
        return !failDrain;
    }
    void close() override
    {
        if (opened)
            m_log.add(QStringLiteral("close"));
        opened = false;
    }
    QString errorString() const override { return reason; }

    qint16 portNumber = 1;
    bool failOpen = false;
    bool failDrain = false;
    int failAtByte = -1; // the write of this byte (0-based) fails
    QString reason;      // what errorString() reports
    bool opened = false;
    QByteArray bytes;
    int writes = 0;

private:
    EventLog &m_log;
};

// A pause that never sleeps and records the pauses asked for.
class FakePause : public Pause
{
public:
    explicit FakePause(EventLog &log) : m_log(log) {}
    void beginRun() override { m_log.add(QStringLiteral("begin run")); }
    void endRun() override { m_log.add(QStringLiteral("end run")); }
    void markWrite() override { m_log.add(QStringLiteral("mark")); }
    void pause(qint32 ms) override
    {
        pauses.append(ms);
        m_log.add(QStringLiteral("pause %1").arg(ms));
    }
    QVector<qint32> pauses;

private:
    EventLog &m_log;
};

} // namespace norvane::test
