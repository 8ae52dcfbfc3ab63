#pragma once
// The user's side of the commands with real widgets: message boxes titled "Quenta" without an
// icon, and the file dialog CD.
#include "model/form.h"

class QWidget;

namespace quenta {

class QtDialogs : public UserDialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    void message(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    std::optional<QString> openFile(const QString& folder) override;
    // The dialog asks nothing about an existing file: the commands ask their own question.
    std::optional<QString> saveFile(const QString& folder) override;

private:
    QWidget* parent_;
};

} // namespace quenta
