// SPDX-License-Identifier: MIT
#include "qt_file_dialog.h"
#include "qt_message_box_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace norvane;

namespace {

// Calls `show`, which runs a modal dialog of type T, and `act` on that dialog once it is up;
// returns what `show` returns. Whatever `act` leaves open, also after a failed check inside it
// (which returns from `act` early), is closed right after it, so `show` always returns. Any other
// modal dialog, or none of type T within a minute, closes too and fails the test.
template <typename T, typename Show> auto withModal(const std::function<void(T *)> &act, Show show)
{
    const QDeadlineTimer deadline(60000);
    bool acted = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        auto *dialog = qobject_cast<T *>(modal);
        if (dialog && !acted) {
            acted = true;
            act(dialog);
        } else if (!acted && !deadline.hasExpired()) {
            return;
        }
        if (modal->isVisible())
            modal->reject();
    });
    poll.start(10);
    auto result = show();
    if (!acted)
        QTest::qFail("the dialog did not come up", __FILE__, __LINE__);
    return result;
}

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT
private slots:
    // A file name holding markup is shown as it is, not rendered.
    void messageBoxIsPlainWithOneButton()
    {
        const QString text =
            QStringLiteral("Error while reading data from file: /tmp/<b>x</b>.txt");
        QMessageBox::ButtonRole clicked = QMessageBox::InvalidRole;
        withModal<QMessageBox>(
            [&](QMessageBox *box) {
                QCOMPARE(box->windowTitle(), QStringLiteral("Norvane"));
                QCOMPARE(box->text(), text);
                QCOMPARE(box->textFormat(), Qt::PlainText);
                QCOMPARE(box->icon(), QMessageBox::NoIcon);
                QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
                box->button(QMessageBox::Ok)->click();
                clicked = box->buttonRole(box->clickedButton());
            },
            [&] {
                QtMessageBoxView(nullptr).showMessage(text);
                return true;
            });
        QCOMPARE(clicked, QMessageBox::AcceptRole);
    }

    void fileDialogRemembersTheLastName()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("messages.txt"));
        QtFileDialog dialog;
        // Open mode takes a name that does not exist yet; "Load" reports it as a read error. The
        // name goes straight into the name field: selectFile() leaves a field that has focus as
        // it is.
        const auto opened = withModal<QFileDialog>(
            [&](QFileDialog *d) {
                QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
                auto *field = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                QVERIFY(field);
                field->setText(name);
                // QFileDialog's own accept(), as its Open button calls it.
                static_cast<QDialog *>(d)->accept();
            },
            [&] { return dialog.showOpen(); });
        QCOMPARE(opened, std::optional<QString>(name));
        // Save mode starts on that name; cancelling reports no name and keeps the last one.
        QString offered;
        const auto saved = withModal<QFileDialog>(
            [&](QFileDialog *d) {
                QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
                offered = d->selectedFiles().value(0);
                d->reject();
            },
            [&] { return dialog.showSave(); });
        QCOMPARE(saved, std::nullopt);
        QCOMPARE(offered, name);
        QCOMPARE(dialog.fileName(), name);
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
