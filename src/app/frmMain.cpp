#include "app/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QSettings>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <exception>

#include "app/entry_gestures.h"
#include "app/frmChart.h"
#include "app/grid_view.h"
#include "app/menu_shortcuts.h"
#include "app/qt_dialogs.h"
#include "app/recent_files.h"
#include "app/startup.h"
#include "files/commands.h"
#include "help/help_commands.h"
#include "help/twips_layout.h"
#include "model/entry.h"
#include "model/numbers.h"
#include "scratch/connect.h"
#include "solver/direct_check.h"
#include "solver/solve.h"

namespace quenta {

frmMain::frmMain(const ProgramDir& programDir, UserDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent),
      grid_(new SystemGrid(this)),
      realDialogs_(dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      form_{state_, *grid_, controls_, dialogs ? *dialogs : *realDialogs_, programDir},
      run_(form_)
{
    setWindowTitle(QStringLiteral("QUENTA"));
    setFont(TwipsLayout::windowFont());
    setAcceptDrops(true);

    createControls();
    createActions();
    createMenus();
    connectCommands();
    connectRuns();
    placeControls();
    // Last: it watches the widgets the window holds now.
    new MenuShortcuts(this, {Open_, Save_, Connect_, Chart_, Exit_, About_, UserGuide_, GetPaid_, PasteSystem_, CheckDirect_});

    Form_Load(form_);
}

frmMain::~frmMain() { stopRun(); }

void frmMain::useSettings(std::unique_ptr<QSettings> settings)
{
    settings_ = std::move(settings);
    // A settings file that cannot be read gives no values: the window keeps its own size.
    restoreGeometry(settings_->value(QStringLiteral("window/geometry")).toByteArray());
    recent_->useSettings(settings_.get());
}

QTableView* frmMain::gridView() const { return controls_.gridView(); }

double frmMain::layoutScale() const { return layout_->scale(); }

void frmMain::createControls()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);
    layout_ = controls_.create(client, grid_, state_.separator);

    // Below the client area, which keeps its size: the window is taller by the status bar.
    auto* status = new QLabel(this);
    status->setObjectName(QStringLiteral("sbrStatus"));
    status->setTextFormat(Qt::PlainText);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long line is cut at the window's edge rather than widening the window.
    status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(status, 1);
    controls_.attachStatus(status);
}

void frmMain::createActions()
{
    // A menu command with its shortcut; offDuringRun: disabled while a run goes on.
    const auto action = [this](const char* name, const char* caption, QKeyCombination key, auto command,
                               bool offDuringRun = false) {
        auto* a = new QAction(QString::fromLatin1(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(QKeySequence(key));
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, command);
        if (offDuringRun)
            run_.hold(a, false);
        return a;
    };
    Open_ = action("Open", "&Open", Qt::CTRL | Qt::Key_O, [this] { startLoad(CommandLine::Load::Open); }, true);
    Save_ = action("Save", "&Save", Qt::CTRL | Qt::Key_R, [this] { startFileRun(&Save_Choose, &Save_Write); }, true);
    Connect_ = action("Connect", "&Connect", Qt::CTRL | Qt::Key_C, [this] { startLoad(CommandLine::Load::Connect); }, true);
    Chart_ = action("Chart", "Char&t", Qt::CTRL | Qt::Key_T, [this] { showChart(); });
    CheckDirect_ = action("CheckDirect", "Check Against &Direct Solve", Qt::CTRL | Qt::Key_D,
                          [this] { startRun(CheckDirect_Click); }, true);
    Exit_ = action("Exit", "&Exit", Qt::CTRL | Qt::Key_E, [] { Exit_Click(); });
    About_ = action("About", "&About", Qt::CTRL | Qt::Key_A, [this] { runNow([](Form& f) { About_Click(f.dir.help()); }); });
    UserGuide_ = action("UserGuide", "&User Guide", Qt::CTRL | Qt::Key_U,
                        [this] { runNow([](Form& f) { UserGuide_Click(f.dir.help()); }); });
    GetPaid_ = action("GetPaid", "&Get Paid", Qt::CTRL | Qt::Key_G, [this] { runNow([](Form& f) { GetPaid_Click(f.dir.help()); }); });
    PasteSystem_ = action("PasteSystem", "&Paste System", Qt::CTRL | Qt::SHIFT | Qt::Key_V, [this] {
        startRun([text = QApplication::clipboard()->text()](Form& f) { PasteSystem_Load(f, text); }, true);
    }, true);
}

void frmMain::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File"));
    file->addActions({Open_, Save_, Connect_, CheckDirect_, Chart_});
    QMenu* recent = file->addMenu(QStringLiteral("&Recent"));
    recent->setObjectName(QStringLiteral("Recent"));
    recent_ = new RecentFiles(recent);
    connect(recent_, &RecentFiles::chosen, this, &frmMain::loadRecent);
    run_.hold(recent, false);
    file->addSeparator();
    file->addAction(Exit_);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit"));
    edit->addAction(PasteSystem_);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help"));
    help->addActions({About_, UserGuide_, GetPaid_});
}

void frmMain::connectCommands()
{
    const auto onClick = [this](QWidget* button, auto command) {
        connect(qobject_cast<QPushButton*>(button), &QPushButton::clicked, this, command);
    };
    onClick(control(Control::cmdN), [this] { runNow(cmdN_Click); });
    onClick(control(Control::cmdA), [this] { runNow(cmdA_Click); });
    onClick(control(Control::cmdB), [this] { runNow(cmdB_Click); });
    for (int k = 0; k < 3; ++k) {
        onClick(controls_.widget(QStringLiteral("cmdUp(%1)").arg(k)), [this, k] { runNow([k](Form& f) { cmdUp_Click(f, k); }); });
        onClick(controls_.widget(QStringLiteral("cmdDown(%1)").arg(k)), [this, k] { runNow([k](Form& f) { cmdDown_Click(f, k); }); });
    }
    onClick(control(Control::cmdSolution), [this] { run_.running() ? run_.stop() : startRun(cmdSolution_Click); });
    onClick(control(Control::cmdIter), [this] { startRun(cmdIter_Click); });
    new EntryGestures(controls_, form_, run_, [this](const RunController::Command& c) { runNow(c); }, PasteSystem_, this);
}

void frmMain::connectRuns()
{
    for (const auto& [widget, enabled] : controls_.changedDuringRun())
        run_.hold(widget, enabled);
    auto* stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey->setEnabled(false);
    connect(stopKey, &QShortcut::activated, &run_, &RunController::stop);
    run_.hold(stopKey, true);

    connect(&run_, &RunController::starting, this, [this] {
        controls_.button(Control::cmdSolution)->setText(QStringLiteral("Stop"));
        emit runStarting();
    });
    connect(&run_, &RunController::progressed, this, &frmMain::showProgress);
    connect(&run_, &RunController::finished, this, &frmMain::showRunEnd);
}

void frmMain::placeControls()
{
    layout_->fit();
    controls_.gridView()->setScale(layout_->scale());
    // The window opens at the size of the twips layout, which is also its smallest.
    centralWidget()->setMinimumSize(layout_->clientSize());
    resize(minimumSizeHint());
}

void frmMain::runNow(const RunController::Command& command)
{
    // Every command handles the failures it expects; this keeps an unforeseen one from taking the
    // program down with the event loop, and reports it.
    // The grid announces what a command writes once, when it ends: a command may write N² cells,
    // and views reacting to each one would triple its time. Layout changes still reach the view
    // as they happen.
    grid_->beginBulk();
    try {
        command(form_);
    } catch (const std::exception& e) {
        qWarning("Quenta: a command ended by an unexpected failure: %s", e.what());
    } catch (...) {
        qWarning("Quenta: a command ended by an unexpected failure of unknown type");
    }
    grid_->endBulk();
    controls_.gridView()->viewport()->update();
    controls_.setBusy(false);
    if (!run_.running()) {
        history_ = state_.history;
        updateChart();
    }
}

void frmMain::startRun(RunController::Command command, bool withFile)
{
    if (run_.running())
        return;
    if (withFile) {
        controls_.progress()->setValue(0);
        controls_.progress()->show();
    }
    run_.start(std::move(command));
}

void frmMain::startFileRun(std::optional<QString> (*choose)(Form&), void (*work)(Form&, const QString&))
{
    std::optional<QString> path;
    runNow([&path, choose](Form& f) { path = choose(f); });
    if (path)
        startRun([work, path = *path](Form& f) { work(f, path); }, true);
}

void frmMain::startLoad(CommandLine::Load how)
{
    std::optional<QString> path;
    const bool open = how == CommandLine::Load::Open;
    runNow([&path, open](Form& f) { path = open ? Open_Choose(f) : Connect_Choose(f); });
    if (path)
        load(how, *path);
}

void frmMain::load(CommandLine::Load how, const QString& path)
{
    if (run_.running() || how == CommandLine::Load::None)
        return;
    if (QFileInfo(path).isFile())
        recent_->add(how, path);
    if (how == CommandLine::Load::Open)
        startRun([path](Form& f) { Open_Load(f, path); }, true);
    else
        startRun([path](Form& f) { Connect_Load(f, path); }, true);
}

void frmMain::loadRecent(CommandLine::Load how, const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        recent_->remove(path);
        form_.user.message(state_.msgNoFile);
        return;
    }
    load(how, path);
}

void frmMain::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!run_.running() && urls.size() == 1 && urls.front().isLocalFile())
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (run_.running() || urls.size() != 1 || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    load(CommandLine::Load::Open, urls.front().toLocalFile());
}

void frmMain::showProgress(const std::vector<SweepRecord>& sweeps, std::int64_t bytesDone, std::int64_t bytesTotal)
{
    QProgressBar* bar = controls_.progress();
    if (bytesTotal > 0)
        bar->setValue(static_cast<int>(bytesDone * bar->maximum() / bytesTotal));
    history_.insert(history_.end(), sweeps.begin(), sweeps.end());
    // Twice a second is live enough for the chart, which costs the run more than the grid does.
    if (!chartShown_.isValid() || chartShown_.elapsed() >= 500) {
        updateChart();
        chartShown_.start();
    }
}

void frmMain::showRunEnd(const RunReport& report)
{
    controls_.button(Control::cmdSolution)->setText(MainControls::caption(Control::cmdSolution));
    controls_.progress()->hide();
    history_ = state_.history;
    updateChart();
    if (report.end == RunEnd::Faulted)
        controls_.setText(Control::sbrStatus, "Failed");
    if (report.end != RunEnd::Abandoned)
        for (const std::string& m : report.messages)
            form_.user.message(m);
    emit runFinished();
}

void frmMain::stopRun() { run_.abandon(); }

void frmMain::closeEvent(QCloseEvent* event)
{
    stopRun();
    // The help window may keep the program running: the scratch file is free from now on.
    state_.scratch.reset();
    if (settings_)
        settings_->setValue(QStringLiteral("window/geometry"), saveGeometry());
    QMainWindow::closeEvent(event);
}

void frmMain::showChart()
{
    if (!chart_)
        chart_ = new frmChart(form_.user, form_.dir.data(), state_.separator, this);
    chart_->show();
    chart_->raise();
    chart_->activateWindow();
    if (!run_.running())
        history_ = state_.history;
    updateChart();
}

void frmMain::updateChart()
{
    if (!chart_ || !chart_->isVisible())
        return;
    std::optional<float> desired;
    try {
        desired = ParseSingle(controls_.text(Control::txtEps), state_.separator);
    } catch (const QuentaError&) {  // no desired accuracy to draw
    }
    chart_->setHistory(history_, desired);
}

} // namespace quenta
