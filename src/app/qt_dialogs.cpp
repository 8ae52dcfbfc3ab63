#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace quenta {

namespace {

int showBox(QWidget* parent, const std::string& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quenta"), QString::fromStdString(text), buttons, parent);
    // File names run on behind some texts; none of them is markup.
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

std::optional<QString> chosen(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace

void QtDialogs::message(const std::string& text) { showBox(parent_, text, QMessageBox::Ok); }

bool QtDialogs::askYesNo(const std::string& text)
{
    return showBox(parent_, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::openFile(const QString& folder)
{
    return chosen(QFileDialog::getOpenFileName(parent_, QString(), folder));
}

std::optional<QString> QtDialogs::saveFile(const QString& folder)
{
    return chosen(QFileDialog::getSaveFileName(parent_, QString(), folder, QString(), nullptr,
                                               QFileDialog::DontConfirmOverwrite));
}

} // namespace quenta
