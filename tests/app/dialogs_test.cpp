// The real message boxes and file dialogs of the window, inspected while they are open and then
// answered.
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "app/qt_dialogs.h"
#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

namespace {

// Runs `inspect` on the modal dialog as soon as it is shown.
template <class Dialog>
void whenShown(std::function<void(Dialog*)> inspect)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
        if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            inspect(d);
        }
    });
    timer->start();
}

} // namespace

TEST(RealDialogs, MessageBoxesTitledQuentaWithoutIcon)
{
    Started app(emptyDataFolder);
    app.w().setDialogs(nullptr);  // the real ones from here on
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Quenta"));
        EXPECT_EQ(box->text().toStdString(), kMsgFormat);  // leading blank kept
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_TRUE(box->isModal());
        box->button(QMessageBox::Ok)->click();
    });
    app.acceptN("abc");
    EXPECT_TRUE(seen);
    EXPECT_TRUE(app.user.messages.empty()) << "the scripted dialogs are no longer asked";

    // A question: Yes or No, plain text.
    QtDialogs dialogs(&app.w());
    for (QMessageBox::StandardButton answer : {QMessageBox::Yes, QMessageBox::No}) {
        whenShown<QMessageBox>([answer](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Quenta"));
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            EXPECT_EQ(box->text(), QStringLiteral("Replace <b>/tmp/x.txt</b>?"));
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            box->button(answer)->click();
        });
        EXPECT_EQ(dialogs.askYesNo("Replace <b>/tmp/x.txt</b>?"), answer == QMessageBox::Yes);
    }
}

TEST(RealDialogs, FileDialogsStartInTheFolderAndNeverAskAboutOverwriting)
{
    TempProgramDir dir;
    dir.write("data/old.txt", "1 2 \r\n");
    const QString data = dir.file("data");
    const QString old = QFileInfo(dir.file("data/old.txt")).canonicalFilePath();
    QWidget parent;
    QtDialogs dialogs(&parent);
    for (auto mode : {QFileDialog::AcceptSave, QFileDialog::AcceptOpen}) {
        whenShown<QFileDialog>([&](QFileDialog* d) {
            EXPECT_EQ(QDir(d->directory().absolutePath()).canonicalPath(), QDir(data).canonicalPath());
            EXPECT_EQ(d->acceptMode(), mode);
            if (mode == QFileDialog::AcceptSave && !d->testOption(QFileDialog::DontConfirmOverwrite)) {
                ADD_FAILURE() << "the save dialog asks about overwriting";
                d->reject();  // accepting would open a question of its own
                return;
            }
            d->selectFile(old);
            static_cast<QDialog*>(d)->accept();
        });
        const auto chosen = mode == QFileDialog::AcceptSave ? dialogs.saveFile(data) : dialogs.openFile(data);
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(QFileInfo(*chosen).canonicalFilePath(), old);
    }
    // Cancelling gives no path at all.
    whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_FALSE(dialogs.openFile(data).has_value());
}
