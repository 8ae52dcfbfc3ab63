// The real message boxes and file dialogs, inspected while they are open and then answered.
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
    QTimer::singleShot(5, [inspect] {
        auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        d ? inspect(d) : whenShown<Dialog>(inspect);
    });
}

} // namespace

// A message and a question: titled Quenta, without an icon, the text plain and kept as it is.
TEST(RealDialogs, MessageBoxesTitledQuentaWithoutIcon)
{
    QWidget parent;
    QtDialogs dialogs(&parent);
    for (QMessageBox::StandardButtons buttons : {QMessageBox::StandardButtons(QMessageBox::Ok), QMessageBox::Yes | QMessageBox::No}) {
        const std::string text = " Replace <b>/tmp/x.txt</b>?";
        whenShown<QMessageBox>([&](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Quenta"));
            EXPECT_EQ(box->text().toStdString(), text);  // a leading blank kept
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_EQ(box->standardButtons(), buttons);
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            box->button(buttons & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::No)->click();
        });
        if (buttons & QMessageBox::Ok)
            dialogs.message(text);
        else
            EXPECT_FALSE(dialogs.askYesNo(text));
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
                return d->reject();  // accepting would open a question of its own
            }
            d->selectFile(old);
            static_cast<QDialog*>(d)->accept();
        });
        const auto chosen = mode == QFileDialog::AcceptSave ? dialogs.saveFile(data) : dialogs.openFile(data);
        EXPECT_EQ(QFileInfo(chosen.value_or("")).canonicalFilePath(), old);
    }
    whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });  // cancelled: no path at all
    EXPECT_FALSE(dialogs.openFile(data).has_value());
}
