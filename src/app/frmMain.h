#pragma once
// The main window: the grid, the entry fields, the index spinners, the solve buttons and the
// File and Help menus. It owns the working state and the grid, offers them to the commands as a
// Form, and routes every control's event to its command; the commands live in their subsystems.
#include <QMainWindow>
#include <QRect>
#include <memory>
#include <vector>

#include "model/form.h"
#include "model/grid.h"
#include "model/state.h"
#include "app/solve_run.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QShortcut;
class QTableView;

namespace quenta {

class QtDialogs;
class frmChart;

class frmMain : public QMainWindow, public Controls {
    Q_OBJECT
public:
    // programDir tells where the data folder, the scratch file and the help pages are. dialogs
    // answers for the user (tests pass a scripted one); nullptr means message boxes and file
    // dialogs.
    explicit frmMain(const ProgramDir& programDir, UserDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    // Controls (the widget's own isEnabled/setEnabled stay reachable)
    using QMainWindow::isEnabled;
    using QMainWindow::setEnabled;
    std::string text(Control c) const override;
    void setText(Control c, const std::string& text) override;
    bool isEnabled(Control c) const override;
    void setEnabled(Control c, bool enabled) override;
    void setBusy(bool busy) override;

    // Who answers for the user from now on; nullptr returns to the real dialogs.
    void setDialogs(UserDialogs* dialogs);

    WorkingState& state() { return state_; }
    SystemGrid& grid() { return *grid_; }
    Form& form() { return form_; }
    const ProgramDir& programDir() const { return form_.dir; }

    // Whether a run is on the worker now; stopRun() stops it and waits until it has ended.
    bool running() const { return run_ != nullptr; }
    void stopRun();

    QWidget* control(Control c) const;
    QTableView* gridView() const { return msfgData_; }

    // The client area in twips, and the factor by which the whole twips layout is enlarged so
    // that every caption fits its control in the window's font (1 when the font needs nothing).
    static constexpr int ClientWidthTwips = 10395;
    static constexpr int ClientHeightTwips = 5850;
    static constexpr int TwipsPerPixel = 15;
    double layoutScale() const { return scale_; }
    // A length in twips as pixels at the given scale.
    static int px(int twips, double scale);

    // The font of the window (the platform's sans-serif at 8 points) and of its bold labels.
    static QFont windowFont();
    static QFont boldFont();

signals:
    // A run is about to start its worker; "Stop" and Esc already stop it.
    void runStarting();
    // A run on the worker has ended and the window shows its outcome (messages included).
    void runFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Forwards to the dialogs installed now, so that Form keeps one reference for its life.
    class DialogRouter : public UserDialogs {
    public:
        UserDialogs* target = nullptr;
        void message(const std::string& text) override { target->message(text); }
        bool askYesNo(const std::string& text) override { return target->askYesNo(text); }
        std::optional<QString> openFile(const QString& folder) override { return target->openFile(folder); }
        std::optional<QString> saveFile(const QString& folder) override { return target->saveFile(folder); }
    };

    struct Placed {
        QWidget* widget;
        QRect twips;  // relative to the parent: the client area, or the frame that holds it
    };

    void createControls();
    void createActions();
    void createMenus();
    void connectCommands();
    void setTabOrder();
    void placeControls();
    void layoutClient();
    bool captionsFitAt(double scale) const;
    void drawGridCorner(QWidget* corner);
    // Runs a command as one event: a failure that escapes it ends it without a message.
    template <class Command> void run(Command&& command);

    // A command on the worker: the commands that could touch the system are disabled and
    // "Find  solution" reads "Stop" until finishRun(). A command that reads a file shows how far
    // it got in the progress bar.
    void startRun(SolveRun::Command command, bool readsFile = false);
    // Open or Connect: asks for the file here, then loads it on the worker.
    void startLoad(std::optional<QString> (*choose)(Form&), void (*load)(Form&, const QString&));
    void showSnapshot();
    // The chart window, when it is open, shows history_ and the desired accuracy.
    void updateChart();
    void finishRun(bool showMessages = true);
    QList<QObject*> systemCommands() const;

    QLineEdit* lineEdit(Control c) const;
    QPushButton* button(Control c) const;

    WorkingState state_;
    SystemGrid* grid_;
    std::unique_ptr<QtDialogs> realDialogs_;
    DialogRouter dialogs_;
    Form form_;
    double scale_ = 1.0;
    bool busy_ = false;
    std::unique_ptr<SolveRun> run_;
    std::vector<std::pair<QObject*, bool>> enabledBeforeRun_;
    QShortcut* stopKey_ = nullptr;
    std::vector<float> history_;  // state_.accuracy as this thread knows it during a run
    frmChart* chart_ = nullptr;

    QWidget* client_ = nullptr;
    std::vector<Placed> placed_;

    QTableView* msfgData_ = nullptr;
    QFrame* frmIndex_[3] = {};
    QLineEdit* txtIndex_[3] = {};
    QPushButton* cmdUp_[3] = {};
    QPushButton* cmdDown_[3] = {};
    QLabel* lblN_ = nullptr;
    QLineEdit* txtN_ = nullptr;
    QPushButton* cmdN_ = nullptr;
    QLabel* lblA_ = nullptr;
    QLabel* lblA1_ = nullptr;
    QLabel* lblA2_ = nullptr;
    QLineEdit* txtA_ = nullptr;
    QPushButton* cmdA_ = nullptr;
    QLabel* lblB_ = nullptr;
    QLabel* lblB1_ = nullptr;
    QLineEdit* txtB_ = nullptr;
    QPushButton* cmdB_ = nullptr;
    QPushButton* cmdSolution_ = nullptr;
    QLineEdit* txtEr_ = nullptr;
    QLabel* lblEr_ = nullptr;
    QPushButton* cmdIter_ = nullptr;
    QLabel* lblEps_ = nullptr;
    QLineEdit* txtEps_ = nullptr;
    QLineEdit* txtTime_ = nullptr;
    QLabel* lblTime_ = nullptr;
    QFrame* Line1_ = nullptr;
    QProgressBar* progress_ = nullptr;

    QMenu* File_ = nullptr;
    QMenu* Help_ = nullptr;
    QAction* Open_ = nullptr;
    QAction* Save_ = nullptr;
    QAction* Connect_ = nullptr;
    QAction* Chart_ = nullptr;
    QAction* Exit_ = nullptr;
    QAction* About_ = nullptr;
    QAction* UserGuide_ = nullptr;
    QAction* GetPaid_ = nullptr;
};

} // namespace quenta
