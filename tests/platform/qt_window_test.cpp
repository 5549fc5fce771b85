// Owned windows, message boxes and file dialogs through the Qt backend,
// offscreen, each box and dialog answered by a timer that works the real
// widget.
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QWindow>
#include <fstream>
#include <unistd.h>
#include <climits>
#include <vector>

#include "qt_fixture.h"
#include "runtime/window.h"
#include "temp_dir.h"

using namespace vk;

namespace {

TEST_F(QtUiTest, MessageBoxShowsFoldedTextsAndAnswersTheButtonPressed) {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  Soon([&] {
    QMessageBox* box = Modal<QMessageBox>();
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(MsgBoxAsk(L("\xBF" "Borrar el \xE1rbol?\r\nSegunda l\xEDnea"), L(""), kMsgBoxYesNo), u16{'N'});
  EXPECT_EQ(title, QStringLiteral("Solicitud de Informacion"));
  EXPECT_EQ(text, QString::fromUtf8("\xC2\xBF" "Borrar el arbol?\nSegunda linea"));
  EXPECT_EQ(icon, QMessageBox::Information);
  EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);

  Soon([&] {
    QMessageBox* box = Modal<QMessageBox>();
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    icon = box->icon();
    buttons = box->standardButtons();
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(MsgBoxAsk(L("Fallo"), L(""), kMsgBoxError), u16{'S'});
  EXPECT_EQ(title, QStringLiteral("Alerta de Mensaje Fatal"));
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

  Soon([&] { Modal<QMessageBox>()->button(QMessageBox::Cancel)->click(); });
  EXPECT_EQ(MsgBoxAsk(L("x"), L(""), kMsgBoxRetryCancel), kMsgBoxCancelled);
}

// Every button of every kind of box in the program's language (the
// catalogue's texts, accents and all), each answering as its kind says.
TEST_F(QtUiTest, MessageBoxButtonsSpeakTheProgramsLanguage) {
  struct Button {
    QMessageBox::StandardButton button;
    QString text;
    u16 answer;
  };
  const Button ok{QMessageBox::Ok, QStringLiteral("Aceptar"), kUiAnswerOk};
  const Button cancel{QMessageBox::Cancel, QStringLiteral("Cancelar"), kUiAnswerCancel};
  const Button yes{QMessageBox::Yes, QString::fromLatin1("S\xED"), kUiAnswerYes};
  const Button no{QMessageBox::No, QStringLiteral("No"), kUiAnswerNo};
  const Button retry{QMessageBox::Retry, QStringLiteral("Reintentar"), kUiAnswerRetry};
  const Button ignore{QMessageBox::Ignore, QStringLiteral("Ignorar"), kUiAnswerIgnore};
  const Button abort{QMessageBox::Abort, QStringLiteral("Anular"), kUiAnswerAbort};
  const struct {
    u16 type;
    std::vector<Button> buttons;
  } cases[] = {
      {kUiMbOk | kUiMbIconInfo, {ok}},
      {kUiMbOkCancel | kUiMbIconWarning, {ok, cancel}},
      {kUiMbAbortRetryIgnore | kUiMbIconError, {abort, retry, ignore}},
      {kUiMbYesNoCancel | kUiMbIconQuestion, {yes, no, cancel}},
      {kUiMbYesNo, {yes, no}},
      {kUiMbRetryCancel | kUiMbIconError, {retry, cancel}},
  };
  const u16 text[] = {'x', 0};
  for (const auto& c : cases) {
    QStringList wanted;
    for (const Button& b : c.buttons) wanted << b.text;
    for (const Button& pressed : c.buttons) {
      QStringList texts;
      qsizetype count = 0;
      Soon([&] {
        QMessageBox* box = Modal<QMessageBox>();
        ASSERT_NE(box, nullptr);
        count = box->buttons().size();
        for (const Button& b : c.buttons) {
          QAbstractButton* in_box = box->button(b.button);
          texts << (in_box ? in_box->text() : QStringLiteral("(none)"));
        }
        ASSERT_NE(box->button(pressed.button), nullptr);
        box->button(pressed.button)->click();
      });
      EXPECT_EQ(UiBackendGet()->message_box(kUiNoWindow, text, text, c.type), pressed.answer) << c.type;
      EXPECT_EQ(count, static_cast<qsizetype>(c.buttons.size())) << c.type;
      EXPECT_EQ(texts.join(u'|').toStdString(), wanted.join(u'|').toStdString()) << c.type;
    }
  }
}

// A top-level window the library opens over another stays above it (the
// owner's window is its transient parent) but is no Qt child of it: it
// stays usable while its owner is disabled, and it goes when its owner is
// destroyed.
TEST_F(QtUiTest, AnOwnedWindowStaysAboveItsOwnerAndGoesWithIt) {
  const UiWindow owner = WinCreate(L("TestWin"), L("owner"), kUiStyleVisible, 0, 0, 300, 200, 0, nullptr);
  const UiWindow owned = WinCreate(L("TestWin"), L("owned"), kUiStyleVisible, 0, 0, 200, 100, 0, nullptr);
  ASSERT_NE(owned, kUiNoWindow);
  QWidget* owner_widget = UiQtWidget(owner);
  QPointer<QWidget> owned_widget = UiQtWidget(owned);
  ASSERT_NE(owned_widget, nullptr);
  ASSERT_NE(owned_widget->windowHandle(), nullptr);
  EXPECT_EQ(owned_widget->windowHandle()->transientParent(), owner_widget->windowHandle());
  UiBackendGet()->enable_window(owner, false);
  EXPECT_TRUE(owned_widget->isEnabled());
  const UiWindow modal = WinCreate(L("TestWin"), L("modal"), kUiStyleVisible | kUiStyleModal, 0, 0, 100, 50, 0,
                                   nullptr);
  ASSERT_NE(modal, kUiNoWindow);
  EXPECT_FALSE(owned_widget->isEnabled());
  EXPECT_TRUE(UiQtWidget(modal)->isEnabled());
  EXPECT_EQ(UiQtWidget(modal)->windowHandle()->transientParent(), owned_widget->windowHandle());

  UiBackendGet()->destroy_window(owner);
  UiBackendGet()->pump(kUiNoWindow);
  EXPECT_FALSE(UiBackendGet()->is_window(owned));
  EXPECT_FALSE(UiBackendGet()->is_window(modal));
  EXPECT_EQ(owned_widget, nullptr);
}

// A box is never narrower than its title needs beside the title bar's
// buttons, however short its text: the box of a cancelled run shows its
// whole title "Mensaje Informativo".
TEST_F(QtUiTest, MessageBoxesAreWideEnoughForTheirTitle) {
  const struct {
    const char* text;
    const char* caption;
    u16 kind;
  } cases[] = {
      {"Cancelado por el usuario", "", kMsgBoxWarning},
      {"x", "", kMsgBoxYesNo},
      {"x", "Un t\xEDtulo bastante m\xE1s largo que el texto de la caja", kMsgBoxInfo},
  };
  for (const auto& c : cases) {
    int width = 0, needed = 0;
    QString title;
    Soon([&] {
      QMessageBox* box = Modal<QMessageBox>();
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      QFont bold = box->font();
      bold.setBold(true);
      needed = QFontMetrics(bold).horizontalAdvance(title) +
               3 * box->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, box);
      width = box->width();
      box->button(box->standardButtons() & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::Yes)->click();
    });
    MsgBoxAsk(L(c.text), L(c.caption), c.kind);
    EXPECT_GE(width, needed) << title.toStdString();
  }
}

// The files are chosen in the temporary folder while the test stays in the
// directory it was run from, so that a move into the folder would show.
using QtFileDlgTest = InTempDir<QtUiTest, false>;

TEST_F(QtFileDlgTest, SaveDialogFiltersAndChoiceInLibraryForm) {
  QStringList filters;
  QString suffix;
  bool saving = false;
  Soon([&] {
    QFileDialog* d = Modal<QFileDialog>();
    ASSERT_NE(d, nullptr);
    filters = d->nameFilters();
    suffix = d->defaultSuffix();
    saving = d->acceptMode() == QFileDialog::AcceptSave;
    d->selectFile(QString::fromStdString(dir + "/nuevo.PAN"));
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_EQ(S(FileDlgByKind(1, 2)), Lib("nuevo.PAN"));
  EXPECT_TRUE(saving);
  EXPECT_EQ(suffix, QStringLiteral("PAN"));
  // Shown as the messages name them; "*.*" matches every file.
  EXPECT_EQ(filters, (QStringList{QStringLiteral("Ficheros de Pantalla (*.PAN) (*.PAN)"),
                                  QStringLiteral("Todos (*.*) (*)")}));
  // The choice leaves the current directory as it was.
  EXPECT_EQ(Cwd(), old_cwd);
}

TEST_F(QtFileDlgTest, OpenDialogRefusesAChoiceOutsideLatin1) {
  const std::string plain = dir + "/caf\xC3\xA9.txt";         // e-acute: Latin-1
  const std::string foreign = dir + "/\xC5\x81" "odz.txt";   // L-stroke: not Latin-1
  std::ofstream(plain) << "x";
  std::ofstream(foreign) << "x";
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  QString opened_in;
  auto choose = [&](const std::string& path) {
    Soon([&, path] {
      QFileDialog* d = Modal<QFileDialog>();
      ASSERT_NE(d, nullptr);
      mode = d->fileMode();
      opened_in = d->directory().absolutePath();
      d->selectFile(QString::fromUtf8(path.c_str()));
      static_cast<QDialog*>(d)->accept();
    });
  };
  choose(plain);
  EXPECT_EQ(S(FileDlgByKind(0, 8)), Lib() + "\\caf\xE9.txt");
  EXPECT_EQ(mode, QFileDialog::ExistingFile);
  EXPECT_EQ(opened_in.toStdString(), old_cwd);
  EXPECT_EQ(Cwd(), old_cwd);
  // The next dialog opens where the last file was chosen.
  choose(foreign);
  EXPECT_EQ(S(FileDlgByKind(0, 8)), "");
  EXPECT_EQ(opened_in.toStdString(), dir);

  Soon([&] { Modal<QFileDialog>()->reject(); });
  EXPECT_EQ(S(FileDlgByKind(0, 0)), "");
}

}  // namespace
