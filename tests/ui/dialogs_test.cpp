#include "qt_file_dialog.h"
#include "qt_message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace norvane;

// Runs `act` on the modal dialog of type T as soon as it is up.
template <typename T> void whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, act] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start(10);
}

class DialogsTest : public QObject
{
    Q_OBJECT
private slots:
    // A file name holding markup is shown as it is, not rendered.
    void messageBoxIsPlainWithOneButton()
    {
        const QString text =
            QStringLiteral("Error while reading data from file: /tmp/<b>x</b>.txt");
        bool seen = false;
        whenModal<QMessageBox>([&](QMessageBox *box) {
            seen = true;
            QCOMPARE(box->windowTitle(), QStringLiteral("Norvane"));
            QCOMPARE(box->text(), text);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            box->button(QMessageBox::Ok)->click();
        });
        QtMessageBox(nullptr).showMessage(text);
        QVERIFY(seen);
    }

    void fileDialogRemembersTheLastName()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("messages.txt"));
        QtFileDialog dialog;
        // Open mode takes a name that does not exist yet; "Load" reports it as a read error.
        whenModal<QFileDialog>([&](QFileDialog *d) {
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
            d->selectFile(name);
            static_cast<QDialog *>(d)->accept();
        });
        QCOMPARE(dialog.showOpen(), std::optional<QString>(name));
        // Save mode starts on that name; cancelling reports no name and keeps the last one.
        QString offered;
        whenModal<QFileDialog>([&](QFileDialog *d) {
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
            offered = d->selectedFiles().value(0);
            d->reject();
        });
        QCOMPARE(dialog.showSave(), std::nullopt);
        QCOMPARE(offered, name);
        QCOMPARE(dialog.fileName(), name);
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
