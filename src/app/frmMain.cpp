#include "app/frmMain.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTableView>
#include <cmath>
#include <exception>

#include "app/frmChart.h"
#include "app/qt_dialogs.h"
#include "app/startup.h"
#include "files/commands.h"
#include "help/help_commands.h"
#include "model/entry.h"
#include "model/numbers.h"
#include "scratch/connect.h"
#include "solver/solve.h"

namespace quenta {

namespace {

// The place of the vertical rule between the entry area and the solve area.
constexpr int Line1X = 6240;
constexpr int Line1Top = 3000;
constexpr int Line1Bottom = 5760;

// Default cell size of the grid, in twips.
constexpr int GridColumnTwips = 900;
constexpr int GridRowTwips = 240;

template <class W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString indexed(const char* name, int k) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(k); }

// Whether a widget's caption (or initial text) fits into the given size, with the room its
// frame takes. Labels that wrap must fit with all their lines.
bool captionFits(const QWidget* w, QSize size)
{
    const QFontMetrics fm(w->font());
    const int frame = w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
    if (auto* b = qobject_cast<const QPushButton*>(w))
        return fm.horizontalAdvance(b->text()) + 2 * (frame + 1) <= size.width()
            && fm.height() + 2 * frame <= size.height();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return fm.horizontalAdvance(e->text()) + 2 * frame + 4 <= size.width()
            && fm.height() + 2 * frame <= size.height();
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        // Measured as the label lays its text out, with the glyphs' overhangs.
        const int flags = int(l->alignment()) | (l->wordWrap() ? int(Qt::TextWordWrap) : 0);
        const QRect need = fm.boundingRect(QRect(0, 0, size.width(), 100000), flags, l->text());
        return need.width() <= size.width() && need.height() <= size.height();
    }
    return true;
}

} // namespace

int frmMain::px(int twips, double scale) { return static_cast<int>(std::lround(twips * scale / TwipsPerPixel)); }

QFont frmMain::windowFont()
{
    QFont font = QApplication::font();
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.0);
    font.setWeight(QFont::Normal);
    return font;
}

QFont frmMain::boldFont()
{
    QFont font = windowFont();
    font.setWeight(QFont::Bold);  // 700
    return font;
}

frmMain::frmMain(const ProgramDir& programDir, UserDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent),
      grid_(new SystemGrid(this)),
      realDialogs_(std::make_unique<QtDialogs>(this)),
      form_{state_, *grid_, *this, dialogs_, programDir}
{
    dialogs_.target = dialogs ? dialogs : realDialogs_.get();
    setWindowTitle(QStringLiteral("QUENTA"));
    setFont(windowFont());

    createControls();
    createActions();
    createMenus();
    connectCommands();
    setTabOrder();
    placeControls();

    // The seven menu shortcuts belong to the window whatever control has the focus.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    Form_Load(form_);
}

frmMain::~frmMain()
{
    stopRun();
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void frmMain::setDialogs(UserDialogs* dialogs) { dialogs_.target = dialogs ? dialogs : realDialogs_.get(); }

void frmMain::createControls()
{
    client_ = new QWidget(this);
    setCentralWidget(client_);

    msfgData_ = named(new QTableView(client_), "msfgData");
    msfgData_->setModel(grid_);
    msfgData_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    msfgData_->setWordWrap(false);
    for (QHeaderView* h : {msfgData_->horizontalHeader(), msfgData_->verticalHeader()}) {
        h->setSectionResizeMode(QHeaderView::Fixed);
        h->setHighlightSections(false);
    }
    // The corner cell of the fixed row and column is the view's corner button, drawn with the
    // grid's corner text; a new layout changes that text.
    if (auto* corner = msfgData_->findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        corner->setObjectName(QStringLiteral("msfgDataCorner"));
        connect(grid_, &QAbstractItemModel::modelReset, corner, qOverload<>(&QWidget::update));
    }
    placed_.push_back({msfgData_, QRect(240, 360, 9975, 2535)});

    const QPoint frameAt[3] = {{840, 3600}, {1920, 3600}, {840, 4800}};
    for (int k = 0; k < 3; ++k) {
        QFrame* frame = new QFrame(client_);
        frame->setObjectName(indexed("frmIndex", k));
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frmIndex_[k] = frame;
        placed_.push_back({frame, QRect(frameAt[k], QSize(735, 975))});

        txtIndex_[k] = new QLineEdit(QStringLiteral("1"), frame);
        txtIndex_[k]->setObjectName(indexed("txtIndex", k));
        placed_.push_back({txtIndex_[k], QRect(120, 240, 375, 285)});
        cmdUp_[k] = new QPushButton(QStringLiteral(">"), frame);
        cmdUp_[k]->setObjectName(indexed("cmdUp", k));
        placed_.push_back({cmdUp_[k], QRect(360, 600, 255, 255)});
        cmdDown_[k] = new QPushButton(QStringLiteral("<"), frame);
        cmdDown_[k]->setObjectName(indexed("cmdDown", k));
        placed_.push_back({cmdDown_[k], QRect(120, 600, 255, 255)});
    }

    auto label = [this](const char* name, const char* caption, QRect twips, bool bold) {
        QLabel* l = named(new QLabel(QString::fromLatin1(caption), client_), name);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (bold)
            l->setFont(boldFont());
        placed_.push_back({l, twips});
        return l;
    };
    auto field = [this](const char* name, const QString& text, QRect twips) {
        QLineEdit* e = named(new QLineEdit(text, client_), name);
        placed_.push_back({e, twips});
        return e;
    };
    auto button = [this](const char* name, const char* caption, QRect twips) {
        QPushButton* b = named(new QPushButton(QString::fromLatin1(caption), client_), name);
        b->setAutoDefault(false);
        placed_.push_back({b, twips});
        return b;
    };

    lblN_ = label("lblN", "N=", QRect(480, 3120, 375, 255), true);
    txtN_ = field("txtN", QString(), QRect(960, 3120, 735, 285));
    cmdN_ = button("cmdN", "Accept N", QRect(4800, 3000, 1095, 375));
    lblA_ = label("lblA", "A (", QRect(480, 3840, 255, 375), true);
    lblA1_ = label("lblA1", ",", QRect(1680, 3840, 135, 255), true);
    lblA2_ = label("lblA2", ") =", QRect(2760, 3840, 255, 375), true);
    txtA_ = field("txtA", QString(), QRect(3120, 3720, 1335, 375));
    cmdA_ = button("cmdA", "Accept A(i,j)", QRect(4800, 3720, 1095, 375));
    lblB_ = label("lblB", "B (", QRect(480, 5040, 255, 255), true);
    lblB1_ = label("lblB1", ") =", QRect(1680, 5040, 255, 255), true);
    txtB_ = field("txtB", QString(), QRect(3120, 4920, 1335, 375));
    cmdB_ = button("cmdB", "Accept B(i)", QRect(4800, 4920, 1095, 375));
    cmdSolution_ = button("cmdSolution", "Find  solution", QRect(7200, 3120, 1335, 375));
    txtEr_ = field("txtEr", QString(), QRect(8280, 5400, 1935, 375));
    lblEr_ = label("lblEr", "Current accuracy", QRect(6480, 5520, 1335, 255), false);
    cmdIter_ = button("cmdIter", "Next Iteration", QRect(7200, 3600, 1335, 375));
    cmdIter_->setEnabled(false);
    lblEps_ = label("lblEps", "Desired accuracy", QRect(6480, 4320, 1455, 255), false);
    // 0.5 written with the user's decimal separator, so that it reads back as 0.5.
    txtEps_ = field("txtEps", QString::fromStdString("0" + state_.separator + "5"), QRect(8280, 4200, 1935, 375));
    txtTime_ = field("txtTime", QString(), QRect(8280, 4800, 1815, 375));
    lblTime_ = label("lblTime", "Duration of the  last operation", QRect(6480, 4800, 1455, 375), false);
    lblTime_->setWordWrap(true);

    // Beside "Find  solution", which reads "Stop" while Open or Connect reads a file.
    progress_ = named(new QProgressBar(client_), "progress");
    progress_->setRange(0, 1000);
    progress_->hide();
    placed_.push_back({progress_, QRect(8640, 3165, 1575, 285)});

    Line1_ = named(new QFrame(client_), "Line1");
    Line1_->setFrameShape(QFrame::VLine);
    Line1_->setFrameShadow(QFrame::Plain);
    Line1_->setLineWidth(1);
}

void frmMain::createActions()
{
    auto action = [this](const char* name, const char* caption, QKeyCombination key) {
        QAction* a = new QAction(QString::fromLatin1(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(QKeySequence(key));
        a->setShortcutContext(Qt::WindowShortcut);
        return a;
    };
    Open_ = action("Open", "&Open", Qt::CTRL | Qt::Key_O);
    Save_ = action("Save", "&Save", Qt::CTRL | Qt::Key_R);
    Connect_ = action("Connect", "&Connect", Qt::CTRL | Qt::Key_C);
    Chart_ = action("Chart", "Char&t", Qt::CTRL | Qt::Key_T);
    Exit_ = action("Exit", "&Exit", Qt::CTRL | Qt::Key_E);
    About_ = action("About", "&About", Qt::CTRL | Qt::Key_A);
    UserGuide_ = action("UserGuide", "&User Guide", Qt::CTRL | Qt::Key_U);
    GetPaid_ = action("GetPaid", "&Get Paid", Qt::CTRL | Qt::Key_G);
}

void frmMain::createMenus()
{
    File_ = menuBar()->addMenu(QStringLiteral("&File"));
    File_->setObjectName(QStringLiteral("File"));
    File_->addAction(Open_);
    File_->addAction(Save_);
    File_->addAction(Connect_);
    File_->addAction(Chart_);
    File_->addSeparator();
    File_->addAction(Exit_);

    Help_ = menuBar()->addMenu(QStringLiteral("&Help"));
    Help_->setObjectName(QStringLiteral("Help"));
    Help_->addAction(About_);
    Help_->addAction(UserGuide_);
    Help_->addAction(GetPaid_);
}

template <class Command>
void frmMain::run(Command&& command)
{
    // Every command handles the failures it expects; this keeps an unforeseen one from taking the
    // program down with the event loop, and reports it.
    // The grid announces what a command writes once, when it ends: a command may write N² cells,
    // and views reacting to each one would triple its time. Layout changes still reach the view
    // as they happen.
    grid_->beginBulk();
    try {
        command();
    } catch (const std::exception& e) {
        qWarning("Quenta: a command ended by an unexpected failure: %s", e.what());
    } catch (...) {
        qWarning("Quenta: a command ended by an unexpected failure of unknown type");
    }
    grid_->endBulk();
    msfgData_->viewport()->update();
    setBusy(false);
    if (!run_) {
        history_ = state_.accuracy;
        updateChart();
    }
}

void frmMain::updateChart()
{
    if (!chart_ || !chart_->isVisible())
        return;
    std::optional<float> desired;
    try {
        desired = ParseSingle(txtEps_->text().toStdString(), state_.separator);
    } catch (const QuentaError&) {  // no desired accuracy to draw
    }
    chart_->setHistory(history_, desired);
}

QList<QObject*> frmMain::systemCommands() const
{
    QList<QObject*> list = {txtN_, cmdN_, txtA_, cmdA_, txtB_, cmdB_, txtEps_, cmdIter_, Open_, Save_, Connect_};
    for (int k = 0; k < 3; ++k)
        list << txtIndex_[k] << cmdUp_[k] << cmdDown_[k];
    return list;
}

void frmMain::startLoad(std::optional<QString> (*choose)(Form&), void (*load)(Form&, const QString&))
{
    std::optional<QString> path;
    run([&] { path = choose(form_); });
    if (path)
        startRun([load, path = *path](Form& f) { load(f, path); }, true);
}

void frmMain::startRun(SolveRun::Command command, bool readsFile)
{
    if (run_)
        return;
    run_ = std::make_unique<SolveRun>(form_, std::move(command));
    connect(run_.get(), &SolveRun::snapshot, this, &frmMain::showSnapshot, Qt::QueuedConnection);
    connect(run_.get(), &SolveRun::finished, this, [this] { finishRun(); }, Qt::QueuedConnection);
    enabledBeforeRun_.clear();
    for (QObject* o : systemCommands()) {
        if (auto* w = qobject_cast<QWidget*>(o)) {
            enabledBeforeRun_.emplace_back(o, !w->testAttribute(Qt::WA_Disabled));
            w->setEnabled(false);
        } else if (auto* a = qobject_cast<QAction*>(o)) {
            enabledBeforeRun_.emplace_back(o, a->isEnabled());
            a->setEnabled(false);
        }
    }
    enabledBeforeRun_.emplace_back(cmdSolution_, !cmdSolution_->testAttribute(Qt::WA_Disabled));
    cmdSolution_->setEnabled(true);
    cmdSolution_->setText(QStringLiteral("Stop"));
    stopKey_->setEnabled(true);
    if (readsFile) {
        progress_->setValue(0);
        progress_->show();
    }
    grid_->beginBulk();
    emit runStarting();
    run_->start();
}

void frmMain::showSnapshot()
{
    if (!run_)
        return;
    run_->apply(*this);
    grid_->flushBulk();
    if (const std::int64_t total = run_->bytesTotal(); total > 0)
        progress_->setValue(static_cast<int>(run_->bytesDone() * progress_->maximum() / total));
    const std::vector<float> more = run_->takeAccuracy();
    history_.insert(history_.end(), more.begin(), more.end());
    updateChart();
}

void frmMain::finishRun(bool showMessages)
{
    if (!run_ || !run_->done())
        return;  // a late notice of a run that stopRun() already finished
    run_->wait();
    const std::unique_ptr<SolveRun> run = std::move(run_);
    for (const auto& [o, enabled] : enabledBeforeRun_) {
        if (auto* w = qobject_cast<QWidget*>(o))
            w->setEnabled(enabled);
        else if (auto* a = qobject_cast<QAction*>(o))
            a->setEnabled(enabled);
    }
    enabledBeforeRun_.clear();
    run->apply(*this, true);
    grid_->endBulk();
    cmdSolution_->setText(QStringLiteral("Find  solution"));
    stopKey_->setEnabled(false);
    progress_->hide();
    history_ = state_.accuracy;
    updateChart();
    if (showMessages)
        for (const std::string& m : run->takeMessages())
            dialogs_.message(m);
    emit runFinished();
}

void frmMain::stopRun()
{
    if (!run_)
        return;
    run_->stop();
    run_->wait();
    finishRun(false);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    stopRun();
    // The help window may keep the program running: the scratch file is free from now on.
    state_.scratch.reset();
    QMainWindow::closeEvent(event);
}

void frmMain::connectCommands()
{
    connect(cmdN_, &QPushButton::clicked, this, [this] { run([this] { cmdN_Click(form_); }); });
    connect(cmdA_, &QPushButton::clicked, this, [this] { run([this] { cmdA_Click(form_); }); });
    connect(cmdB_, &QPushButton::clicked, this, [this] { run([this] { cmdB_Click(form_); }); });
    for (int k = 0; k < 3; ++k) {
        connect(cmdUp_[k], &QPushButton::clicked, this, [this, k] { run([this, k] { cmdUp_Click(form_, k); }); });
        connect(cmdDown_[k], &QPushButton::clicked, this, [this, k] { run([this, k] { cmdDown_Click(form_, k); }); });
    }
    connect(cmdSolution_, &QPushButton::clicked, this, [this] {
        if (run_)
            run_->stop();
        else
            startRun(&cmdSolution_Click);
    });
    connect(cmdIter_, &QPushButton::clicked, this, [this] { startRun(&cmdIter_Click); });
    stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey_->setEnabled(false);
    connect(stopKey_, &QShortcut::activated, this, [this] {
        if (run_)
            run_->stop();
    });

    connect(Open_, &QAction::triggered, this, [this] { startLoad(&Open_Choose, &Open_Load); });
    connect(Save_, &QAction::triggered, this, [this] { run([this] { Save_Click(form_); }); });
    connect(Connect_, &QAction::triggered, this, [this] { startLoad(&Connect_Choose, &Connect_Load); });
    connect(Chart_, &QAction::triggered, this, [this] {
        if (!chart_)
            chart_ = new frmChart(this);
        chart_->show();
        chart_->raise();
        chart_->activateWindow();
        if (!run_)
            history_ = state_.accuracy;
        updateChart();
    });
    connect(Exit_, &QAction::triggered, this, [] { Exit_Click(); });
    connect(About_, &QAction::triggered, this, [this] { run([this] { About_Click(form_.dir.help()); }); });
    connect(UserGuide_, &QAction::triggered, this, [this] { run([this] { UserGuide_Click(form_.dir.help()); }); });
    connect(GetPaid_, &QAction::triggered, this, [this] { run([this] { GetPaid_Click(form_.dir.help()); }); });
}

void frmMain::setTabOrder()
{
    const QList<QWidget*> order = {
        msfgData_,
        txtIndex_[0], cmdUp_[0], cmdDown_[0],
        txtIndex_[1], cmdUp_[1], cmdDown_[1],
        txtIndex_[2], cmdUp_[2], cmdDown_[2],
        txtN_, cmdN_, txtA_, cmdA_, txtB_, cmdB_,
        cmdSolution_, txtEr_, cmdIter_, txtEps_, txtTime_,
    };
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

bool frmMain::captionsFitAt(double scale) const
{
    for (const Placed& p : placed_) {
        const QSize size(px(p.twips.width(), scale), px(p.twips.height(), scale));
        if (!captionFits(p.widget, size))
            return false;
    }
    return true;
}

void frmMain::placeControls()
{
    // The smallest enlargement (in steps of 1 %) at which no caption is clipped.
    scale_ = 1.0;
    while (!captionsFitAt(scale_) && scale_ < 4.0)
        scale_ += 0.01;

    layoutClient();

    // The fixed column is wide enough for the corner's "System" and "Solution".
    const QFontMetrics fm(msfgData_->font());
    const int headerMargin = msfgData_->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, msfgData_);
    const int cornerWidth = std::max(fm.horizontalAdvance(QStringLiteral("System")),
                                     fm.horizontalAdvance(QStringLiteral("Solution")));
    msfgData_->verticalHeader()->setMinimumWidth(cornerWidth + 2 * headerMargin + 4);
    msfgData_->horizontalHeader()->setDefaultSectionSize(px(GridColumnTwips, scale_));
    msfgData_->verticalHeader()->setDefaultSectionSize(std::max(px(GridRowTwips, scale_), fm.height() + 4));

    // The window opens at the size of the twips layout, which is also its smallest.
    client_->setMinimumSize(px(ClientWidthTwips, scale_), px(ClientHeightTwips, scale_));
    resize(minimumSizeHint());
}

void frmMain::layoutClient()
{
    // What the client area has beyond its smallest size goes to the grid; the controls below it
    // keep their places relative to its bottom edge.
    const int dw = std::max(0, client_->width() - px(ClientWidthTwips, scale_));
    const int dh = std::max(0, client_->height() - px(ClientHeightTwips, scale_));
    for (const Placed& p : placed_) {
        QRect r(px(p.twips.x(), scale_), px(p.twips.y(), scale_), px(p.twips.width(), scale_),
                px(p.twips.height(), scale_));
        if (p.widget == msfgData_)
            r.adjust(0, 0, dw, dh);
        else if (p.widget->parentWidget() == client_)
            r.translate(0, dh);
        p.widget->setGeometry(r);
    }
    // A one-pixel rule centred on its x.
    const int x = px(Line1X, scale_);
    Line1_->setGeometry(x - 1, px(Line1Top, scale_) + dh, 3, px(Line1Bottom, scale_) - px(Line1Top, scale_));
}

void frmMain::drawGridCorner(QWidget* corner)
{
    auto* button = static_cast<QAbstractButton*>(corner);
    QStyleOptionHeader opt;
    opt.initFrom(button);
    QStyle::State state = QStyle::State_None;
    if (button->isEnabled())
        state |= QStyle::State_Enabled;
    if (button->isActiveWindow())
        state |= QStyle::State_Active;
    if (button->isDown())
        state |= QStyle::State_Sunken;
    opt.state = state;
    opt.rect = button->rect();
    opt.position = QStyleOptionHeader::OnlyOneSection;
    opt.text = QString::fromStdString(grid_->cornerText());
    opt.textAlignment = Qt::AlignCenter;
    QStylePainter painter(button);
    painter.drawControl(QStyle::CE_Header, opt);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // A text field would take Ctrl+C, Ctrl+A, Ctrl+E, Ctrl+U ... for itself; in this window
        // they are the menu's.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QAction* a : {Open_, Save_, Connect_, Chart_, Exit_, About_, UserGuide_, GetPaid_}) {
            if (a->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
    } else if (event->type() == QEvent::Resize && watched == client_) {
        layoutClient();
    } else if (event->type() == QEvent::Paint && watched->objectName() == QLatin1String("msfgDataCorner")
               && watched->parent() == msfgData_) {
        drawGridCorner(static_cast<QWidget*>(watched));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QWidget* frmMain::control(Control c) const
{
    switch (c) {
    case Control::txtN: return txtN_;
    case Control::txtA: return txtA_;
    case Control::txtB: return txtB_;
    case Control::txtEps: return txtEps_;
    case Control::txtEr: return txtEr_;
    case Control::txtTime: return txtTime_;
    case Control::txtIndex0: return txtIndex_[0];
    case Control::txtIndex1: return txtIndex_[1];
    case Control::txtIndex2: return txtIndex_[2];
    case Control::cmdN: return cmdN_;
    case Control::cmdA: return cmdA_;
    case Control::cmdB: return cmdB_;
    case Control::cmdSolution: return cmdSolution_;
    case Control::cmdIter: return cmdIter_;
    }
    return nullptr;
}

QLineEdit* frmMain::lineEdit(Control c) const { return qobject_cast<QLineEdit*>(control(c)); }
QPushButton* frmMain::button(Control c) const { return qobject_cast<QPushButton*>(control(c)); }

std::string frmMain::text(Control c) const
{
    if (QLineEdit* e = lineEdit(c))
        return e->text().toStdString();
    if (QPushButton* b = button(c))
        return b->text().toStdString();
    return {};
}

void frmMain::setText(Control c, const std::string& text)
{
    if (QLineEdit* e = lineEdit(c))
        e->setText(QString::fromStdString(text));
    else if (QPushButton* b = button(c))
        b->setText(QString::fromStdString(text));
}

bool frmMain::isEnabled(Control c) const
{
    QWidget* w = control(c);
    return w && !w->testAttribute(Qt::WA_Disabled);
}

void frmMain::setEnabled(Control c, bool enabled)
{
    if (QWidget* w = control(c))
        w->setEnabled(enabled);
}

void frmMain::setBusy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace quenta
