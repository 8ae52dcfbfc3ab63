#include "app/recent_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QStringList>

namespace quenta {

namespace {

const QString Key = QStringLiteral("recent/files");
const QString OpenTag = QStringLiteral("open:"), ConnectTag = QStringLiteral("connect:");

} // namespace

RecentFiles::RecentFiles(QMenu* menu) : QObject(menu), menu_(menu) { rebuild(false); }

void RecentFiles::useSettings(QSettings* settings)
{
    settings_ = settings;
    entries_.clear();
    if (settings_) {
        // Stored as "open:/path" or "connect:/path"; anything else was not written by us.
        for (const QString& item : settings_->value(Key).toStringList()) {
            const bool open = item.startsWith(OpenTag), connect = item.startsWith(ConnectTag);
            const QString path = item.mid(open ? OpenTag.size() : ConnectTag.size());
            if ((open || connect) && QFileInfo(path).isAbsolute() && static_cast<int>(entries_.size()) < Kept)
                entries_.push_back({open ? CommandLine::Load::Open : CommandLine::Load::Connect, path});
        }
    }
    rebuild(false);  // read, not changed: nothing to write back at start-up
}

void RecentFiles::add(CommandLine::Load load, const QString& path)
{
    remove(path);
    entries_.insert(entries_.begin(), Entry{load, path});
    if (static_cast<int>(entries_.size()) > Kept)
        entries_.resize(Kept);
    rebuild();
}

void RecentFiles::remove(const QString& path)
{
    std::erase_if(entries_, [&path](const Entry& e) { return e.path == path; });
    rebuild();
}

void RecentFiles::rebuild(bool store)
{
    menu_->clear();
    QStringList stored;
    int k = 0;
    for (const Entry& e : entries_) {
        const bool open = e.load == CommandLine::Load::Open;
        stored.append((open ? OpenTag : ConnectTag) + e.path);
        // "&1 sample2.txt (Connect)": the number chooses it from the keyboard.
        const QString caption = QStringLiteral("&%1 %2%3").arg(++k).arg(QFileInfo(e.path).fileName(),
                                                                         open ? QString() : QStringLiteral(" (Connect)"));
        QAction* a = menu_->addAction(caption);
        a->setToolTip(QDir::toNativeSeparators(e.path));
        a->setStatusTip(a->toolTip());
        connect(a, &QAction::triggered, this, [this, e] { emit chosen(e.load, e.path); });
    }
    menu_->setEnabled(!entries_.empty());
    if (settings_ && store)
        settings_->setValue(Key, stored);
}

} // namespace quenta
