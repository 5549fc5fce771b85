// The main dialog's Qt window, offscreen: the controls worked as a user
// works them, boxes and file dialogs answered by timers.
#include <sys/wait.h>
#include <stdlib.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/qt_dialogs.h"
#include "app_fixture.h"
#include "platform/qt_backend.h"
#include "runtime/error.h"
#include "runtime/ossignal.h"
#include "runtime/progress.h"

using namespace vk;

namespace {

void Soon(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

struct QtMainDlgTest : AppTest {
  std::unique_ptr<QApplication> app;
  int argc = 1;
  char name[12] = "vellumcraft";
  char* argv[2] = {name, nullptr};
  CVellumcraftDlg dlg;
  std::unique_ptr<QDialog> window;
  std::string site;

  void SetUp() override {
    AppTest::SetUp();
    if (HasFatalFailure()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // when the program runs by itself
    app = std::make_unique<QApplication>(argc, argv);
    UiQtInstall();
    DlgConstruct(&dlg, nullptr);
  }
  void TearDown() override {
    window.reset();
    AppTest::TearDown();
    UiQtShutdown();
    app.reset();
    UiSetBackend(nullptr);
  }
  void Open() {
    window.reset(QtMainDlgCreate(&dlg));
    window->show();
  }
  template <typename W>
  W* Control(u16 id) {
    W* w = window->findChild<W*>(QString::number(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  QLineEdit* Edit(u16 id) { return Control<QLineEdit>(id); }
  QCheckBox* Box(u16 id) { return Control<QCheckBox>(id); }
  QPushButton* Button(u16 id) { return Control<QPushButton>(id); }
  QComboBox* Combo() { return Control<QComboBox>(kIdcTimeWindow); }

  void TypeExample() {
    site = CopyExample();
    Edit(kIdcFramePage)->setText("site/source/templates/frame.html");
    Edit(kIdcTreeFile)->setText("site/source/tree/tree.txt");
    Edit(kIdcMacroFile)->setText("site/source/macros.txt");
    Box(kIdcEnglish)->click();
    Box(kIdcSpanish)->click();
  }
  std::string Counts() {
    return Edit(kIdcWritten)->text().toStdString() + "/" + Edit(kIdcAvoids)->text().toStdString();
  }
};

TEST_F(QtMainDlgTest, StartFromTheWindowWritesTheSiteAndShowsTheCounts) {
  Open();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Vellumcraft for Linux"));
  EXPECT_TRUE(Edit(kIdcWritten)->isReadOnly());
  EXPECT_TRUE(Edit(kIdcWritten)->alignment() & Qt::AlignRight);
  TypeExample();
  Box(kIdcOverwrite)->click();
  Combo()->setCurrentIndex(10);  // "7 Days"
  Button(kIdcStart)->click();
  EXPECT_EQ(Counts(), "20/0");

  for (const std::string& page : ExamplePages()) EXPECT_TRUE(Exists(site + "/" + page)) << page;
  EXPECT_NE(Read(site + "/index.html.var").find("URI: index_es.html\n"), std::string::npos);
  EXPECT_NE(Read(site + "/source/templates/Vellumcraft_vmenu_es.txt").find("Qui&eacute;nes somos"),
            std::string::npos);
  EXPECT_NE(Read(site + "/source/templates/Vellumkit.log").find("Creating File:"), std::string::npos);
  EXPECT_EQ(Read(dir + "/config.txt"),
            "site/source/templates/frame.html\r\nsite/source/tree/tree.txt\r\nsite/source/macros.txt\r\n");
  EXPECT_EQ(Cwd(), dir);

  // An hour later, a window of 10 minutes keeps every page...
  for (const std::string& page : ExamplePages()) Age(site + "/" + page, 60);
  Combo()->setCurrentIndex(2);
  Button(kIdcStart)->click();
  EXPECT_EQ(Counts(), "0/20");
  // ... as it does typed in, in another letter case; a typed window that
  // is no label is refused with a box and the pages stay as they are.
  Combo()->lineEdit()->setText("10 min");
  Button(kIdcStart)->click();
  EXPECT_EQ(Counts(), "0/20");
  Box(kIdcDeletion)->click();
  Combo()->lineEdit()->setText("10 Minutes");
  QString box_text;
  Soon([&] {
    QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box_text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  Button(kIdcStart)->click();
  EXPECT_TRUE(box_text.contains(QStringLiteral("10 Minutes"))) << box_text.toStdString();
  EXPECT_TRUE(box_text.contains(QString::fromLatin1(kAppWindowLabels))) << box_text.toStdString();
  for (const std::string& page : ExamplePages()) EXPECT_TRUE(Exists(site + "/" + page)) << page;
}

TEST_F(QtMainDlgTest, ConfigFillsTheFieldsAndTheComboStartsUnchosen) {
  Write("config.txt", "/srv/a,b/frame.html\r\n/srv/site/x/y/tree.txt\r\n/srv/m\xE1s.txt\r\n");
  Open();
  EXPECT_EQ(Edit(kIdcFramePage)->text(), QStringLiteral("/srv/a,b/frame.html"));
  EXPECT_EQ(Edit(kIdcTreeFile)->text(), QStringLiteral("/srv/site/x/y/tree.txt"));
  EXPECT_EQ(Edit(kIdcMacroFile)->text(), QString::fromLatin1("/srv/m\xE1s.txt"));
  EXPECT_EQ(Combo()->count(), 11);
  EXPECT_EQ(Combo()->itemText(0), QStringLiteral("All Files"));
  EXPECT_EQ(Combo()->itemText(2), QStringLiteral("10 Min"));
  EXPECT_EQ(Combo()->currentIndex(), -1);
  EXPECT_TRUE(Combo()->currentText().isEmpty());
  EXPECT_FALSE(Box(kIdcEnglish)->isChecked());
  EXPECT_EQ(Box(kIdcDeletion)->text(), QStringLiteral("Overwrite\nDeletion"));
}

TEST_F(QtMainDlgTest, MissingConfigLeavesTheFieldsEmpty) {
  Open();
  EXPECT_TRUE(Edit(kIdcFramePage)->text().isEmpty());
  EXPECT_TRUE(Edit(kIdcTreeFile)->text().isEmpty());
  EXPECT_TRUE(Edit(kIdcMacroFile)->text().isEmpty());
}

// A browse fills its field and leaves the other fields and the working
// folder as they were: the typed relative paths still name the site, and
// Start writes config.txt where the program started.
TEST_F(QtMainDlgTest, BrowseSetsItsFieldAndLeavesTheOthersAndTheWorkingFolder) {
  Open();
  TypeExample();
  const std::string tree = site + "/source/tree/tree.txt";
  bool answered = false;
  Soon([&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    d->selectFile(QString::fromStdString(tree));
    static_cast<QDialog*>(d)->accept();
    answered = true;
  });
  Button(kIdcBrowseTree)->click();
  EXPECT_TRUE(answered);
  EXPECT_EQ(Edit(kIdcTreeFile)->text().toStdString(), tree);
  EXPECT_EQ(Edit(kIdcFramePage)->text(), QStringLiteral("site/source/templates/frame.html"));
  ASSERT_EQ(Cwd(), dir);  // elsewhere the typed frame page would not be found
  Button(kIdcStart)->click();
  EXPECT_EQ(Counts(), "20/0");
  EXPECT_EQ(Read(dir + "/config.txt"),
            "site/source/templates/frame.html\r\n" + tree + "\r\nsite/source/macros.txt\r\n");
  EXPECT_EQ(Cwd(), dir);
}

// Return and keypad Enter press the push button that has the focus, as
// Space does; in a field they press nothing and the dialog stays.
TEST_F(QtMainDlgTest, ReturnAndEnterPressTheFocusedButton) {
  Open();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  TypeExample();
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* counts;  // after the key on Start
  } cases[] = {
      {Qt::Key_Return, Qt::NoModifier, "20/0"},
      {Qt::Key_Enter, Qt::KeypadModifier, "0/20"},  // the pages are there now
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.counts);
    const std::string before = Counts();
    QLineEdit* field = Edit(kIdcMacroFile);
    field->setFocus();
    QTest::keyClick(field, c.key, c.modifiers);
    EXPECT_EQ(Counts(), before);
    EXPECT_TRUE(window->isVisible());

    bool opened = false;
    Soon([&] {
      if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
        opened = true;
        d->reject();
      }
    });
    Button(kIdcBrowseMacro)->setFocus();
    QTest::keyClick(Button(kIdcBrowseMacro), c.key, c.modifiers);
    QCoreApplication::processEvents();  // the answer's timer, when no dialog ran it
    EXPECT_TRUE(opened);
    EXPECT_EQ(Edit(kIdcMacroFile)->text(), QStringLiteral("site/source/macros.txt"));  // cancelled

    Button(kIdcStart)->setFocus();
    QTest::keyClick(Button(kIdcStart), c.key, c.modifiers);
    EXPECT_EQ(Counts(), c.counts);
  }
}

TEST_F(QtMainDlgTest, MissingTreeFileShowsMessage1001AndKeepsConfig) {
  Write("config.txt", "old\r\n");
  Open();
  Edit(kIdcFramePage)->setText("frame.html");
  Edit(kIdcTreeFile)->setText("");
  QString text;
  Soon([&] {
    QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  Button(kIdcStart)->click();
  EXPECT_EQ(text, QStringLiteral("Frame page and tree file are required"));
  EXPECT_EQ(Read("config.txt"), "old\r\n");
  EXPECT_EQ(Counts(), "/");
}

TEST_F(QtMainDlgTest, DuringARunStartIsRefusedAndCancelEndsIt) {
  Open();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));  // Start is clicked in it
  TypeExample();
  int ticks = 0;
  bool disabled = false, still_shown = false, above_the_window = false;
  u16 second = 0;
  QString box_text;
  QTimer timer;
  timer.setInterval(0);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box_text = box->text();
      box->button(QMessageBox::Ok)->click();
      timer.stop();
      return;
    }
    if (!dlg.running || ++ticks != 3) return;
    disabled = !Button(kIdcStart)->isEnabled() && !Button(kIdcBrowseFrame)->isEnabled();
    second = OnStart(&dlg);
    window->reject();  // Esc during the run: the dialog stays
    still_shown = window->isVisible();
    QWidget* progress = UiQtWidget(ProgressStateGet()->window);
    ASSERT_NE(progress, nullptr);
    above_the_window =
        progress->windowHandle() && progress->windowHandle()->transientParent() == window->windowHandle();
    QPushButton* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
  });
  timer.start();
  Button(kIdcStart)->click();
  timer.stop();

  EXPECT_TRUE(disabled);
  EXPECT_TRUE(above_the_window);
  EXPECT_EQ(second, kDlgBusy);
  EXPECT_TRUE(still_shown);
  EXPECT_TRUE(box_text.contains(QStringLiteral("Cancelado por el usuario"))) << box_text.toStdString();
  int pages = 0;
  for (const std::string& page : ExamplePages()) pages += Exists(site + "/" + page);
  EXPECT_GT(pages, 0);
  EXPECT_LT(pages, 20);
  EXPECT_EQ(Edit(kIdcWritten)->text().toInt(), pages);
  EXPECT_TRUE(Button(kIdcStart)->isEnabled());
  EXPECT_TRUE(Button(kIdcBrowseMacro)->isEnabled());
  EXPECT_EQ(Cwd(), dir);
}

// Ctrl-C on the terminal that started the window (INT), during a run in
// the dialog as the program runs it: the run stops at the next page,
// leaves no temporary, says in its log which signal stopped it, the box
// after it answers itself and the dialog closes (the program then ends
// with status 1).
TEST_F(QtMainDlgTest, CtrlCDuringARunStopsItCleanlyAndClosesTheWindow) {
  // Ignored outside the watch: a signal not caught fails the test instead
  // of ending the test program.
  std::signal(SIGINT, SIG_IGN);
  Open();
  TypeExample();
  int ticks = 0;
  QTimer timer;
  timer.setInterval(0);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (dlg.running && ++ticks == 3) std::raise(SIGINT);
  });
  timer.start();
  Soon([this] { Button(kIdcStart)->click(); });
  // What nobody would do: a box or the dialog still up after 5 s fails the
  // test rather than hanging it.
  QTimer::singleShot(5000, window.get(), [this] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
    UiQtEndModal(window.get(), 7);
  });
  UiQtRunModal(window.get());
  timer.stop();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(OsStopStopped(), SIGINT);
  OsStopWatchEnd();
  std::signal(SIGINT, SIG_DFL);

  int pages = 0;
  for (const std::string& page : ExamplePages()) pages += Exists(site + "/" + page);
  EXPECT_GT(pages, 0);
  EXPECT_LT(pages, 20);
  for (const auto& e : std::filesystem::recursive_directory_iterator(site))
    EXPECT_EQ(e.path().filename().string().find(".vellumcraft-"), std::string::npos) << e.path();
  EXPECT_TRUE(Read(site + "/source/templates/Vellumkit.log")
                  .ends_with("Run Ended:Cancelado por el usuario (stopped by SIGINT)\r\n"));
}

TEST_F(QtMainDlgTest, AboutBoxFromF1AndTheContextMenu) {
  Open();
  int shown = 0;
  auto answer = [&] {
    auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Acerca de Vellumcraft"));
    bool version = false;
    for (QLabel* l : about->findChildren<QLabel*>()) version |= l->text() == QString::fromLatin1("Vellumcraft Versi\xF3n 1.0");
    EXPECT_TRUE(version);
    QPushButton* ok = about->findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("Aceptar"));
    QTest::keyClick(ok, Qt::Key_Return);  // its default button
    EXPECT_FALSE(about->isVisible());
    if (about->isVisible()) ok->click();
    ++shown;
  };
  Soon(answer);
  QTest::keyClick(window.get(), Qt::Key_F1);
  EXPECT_EQ(shown, 1);

  ASSERT_EQ(window->actions().size(), 1);
  EXPECT_EQ(window->actions().first()->text(), QStringLiteral("&Acerca de Vellumcraft..."));
  EXPECT_EQ(window->contextMenuPolicy(), Qt::ActionsContextMenu);
  Soon(answer);
  window->actions().first()->trigger();
  EXPECT_EQ(shown, 2);

  // Esc ends the dialog when no run is under way.
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
}

// A display named but out of reach: the program says so in one line and
// then runs as it does without a display (and as --no-window does).
TEST_F(AppTest, AnUnreachableDisplayIsSaidInOneLineAndTheRunGoesOnWithoutAWindow) {
  const std::string site = CopyExample();
  const auto run = [&](const std::string& env, const std::string& option, std::string* err) {
    const std::string err_file = dir + "/stderr.txt";
    const std::string cmd = "cd '" + site + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env +
                            " '" VK_APP_EXE "' " + option + " --lang en,es --overwrite all 2>'" + err_file +
                            "' </dev/null";
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[256];
    for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int st = p ? pclose(p) : -1;
    *err = Read(err_file);
    return std::to_string(WIFEXITED(st) ? WEXITSTATUS(st) : -1) + "|" + out;
  };
  std::string plain_err;
  const std::string plain = run("DISPLAY=:9357", "--no-window", &plain_err);
  ASSERT_EQ(plain, "0|Written: 20\nAvoids: 0\n");
  const struct {
    const char* env;
    const char* line;
  } cases[] = {
      {"DISPLAY=:9357", "DISPLAY=:9357"},
      {"WAYLAND_DISPLAY=vk-absent-9357", "WAYLAND_DISPLAY=vk-absent-9357"},
      {"DISPLAY=:9357 QT_QPA_PLATFORM=vk-no-such-platform", "DISPLAY=:9357"},
  };
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(run(c.env, "", &err), plain) << c.env;
    EXPECT_EQ(err, std::string("vellumcraft: no window can be opened (") + c.line +
                       " cannot be reached); running without one\n" + plain_err)
        << c.env;
  }
}

}  // namespace
