#include "platform/qt_backend.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QList>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <QTimer>
#include <QVariant>
#include <QWindow>

#include "runtime/message.h"
#include "runtime/ossignal.h"
#include "runtime/ostext.h"
#include "runtime/scratch.h"
#include "runtime/str.h"

namespace vk {

namespace {

constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 300;
// What a title bar holds beside the title: the window's icon and three
// buttons, each about as wide as the bar is high.
constexpr int kTitleBarItems = 4;
constexpr char kModalResult[] = "vkModalResult";
// How often a modal run or a message box looks for a stop request
// (ossignal.h), in milliseconds.
constexpr int kStopPollMs = 100;

struct QtUi {
  UiClassTable classes;
  UiWinTable windows;
  bool quit;
  // The folder of the last file chosen in a file dialog, where the next
  // one opens ("" until a file is chosen: the current directory).
  QString file_folder;
};

QtUi g_qt;
// Parallel to g_qt.windows' slots. A widget Qt deleted on its own (with
// its parent, say) leaves a null pointer: the handle is then dead.
QPointer<QWidget> g_widgets[kUiMaxWindows];
QObject* g_quit_watch = nullptr;
// The dialogs UiQtRunModal is running, the innermost last.
QList<QPointer<QWidget>> g_modal_runs;

// ---- Text --------------------------------------------------------------

// Library units (Latin-1) as a QString; with lines, CR LF and CR become LF.
QString ToQt(const u16* text, u32 units, bool lines) {
  QString s;
  if (!text) return s;
  s.reserve(static_cast<qsizetype>(units));
  for (u32 i = 0; i < units; ++i) {
    const u16 c = text[i];
    if (lines && c == '\r') {
      s.append(QChar(u'\n'));
      if (i + 1 < units && text[i + 1] == '\n') ++i;
      continue;
    }
    s.append(QChar(static_cast<char16_t>(c)));
  }
  return s;
}

QString ToQtZ(const u16* text, bool lines = false) { return ToQt(text, UiWideLen(text, kMaxText), lines); }

// A library path as a system path ('\' to '/', Latin-1 to UTF-8).
QString PathToQt(const u16* text) {
  const u32 n = UiWideLen(text, kOsPathMax / 2);
  QByteArray narrow(static_cast<qsizetype>(n), '\0');
  for (u32 i = 0; i < n; ++i) narrow[i] = static_cast<char>(text[i] & 0xFF);
  QByteArray utf8(static_cast<qsizetype>(kOsPathMax), '\0');
  const u32 len = OsToUtf8(StrSlice{narrow.constData(), static_cast<u16>(n)}, true, utf8.data(), kOsPathMax);
  if (len == kOsTooLong) return QString();
  return QString::fromUtf8(utf8.constData(), static_cast<qsizetype>(len));
}

// ---- Windows ---------------------------------------------------------------

UiWinRec* Live(UiWindow window);

// Forgets a freed slot's widget. An owned window is no Qt child of its
// owner (see OwnTo), so it goes here with the owner; controls go with the
// window they are children of.
void ClearSlot(u16 slot, void*) {
  QWidget* w = g_widgets[slot];
  g_widgets[slot] = nullptr;
  if (w && w->isWindow()) {
    w->hide();
    w->deleteLater();
  }
}

u32 Dispatch(UiWindow window, u16 message, u32 param) {
  const UiWinRec* r = Live(window);
  if (!r || !r->proc) return 0;
  return r->proc(window, message, param);
}

u32 KeyCode(const QKeyEvent* e) {
  const int k = e->key();
  if (k == Qt::Key_Escape) return kUiKeyEscape;
  if (k == Qt::Key_Return || k == Qt::Key_Enter) return kUiKeyReturn;
  if (k >= 0x20 && k <= 0x7E) return static_cast<u32>(k);
  return 0;
}

// Grey background, white text centred horizontally from top down.
void PaintMessage(QWidget* w, const QString& text, int top) {
  QPainter p(w);
  p.fillRect(w->rect(), QColor(128, 128, 128));
  p.setPen(Qt::white);
  p.drawText(QRect(0, top, w->width(), w->height() - top), Qt::AlignHCenter | Qt::AlignTop, text);
}

// A window of a registered class: its close requests and keys go to the
// window procedure.
class VkWindow : public QWidget {
 public:
  VkWindow(UiWindow handle, QWidget* owner, Qt::WindowFlags flags) : QWidget(owner, flags), handle_(handle) {}
  void SetPainted(const QString& text, int top) {
    painted_ = text;
    top_ = top;
    has_painted_ = true;
    update();
  }

 protected:
  void closeEvent(QCloseEvent* e) override {
    // The procedure decides; by default it destroys the window.
    e->ignore();
    Dispatch(handle_, kUiMsgClose, 0);
  }
  void keyPressEvent(QKeyEvent* e) override {
    if (UiQtPressFocusedButton(this, e->key())) return;
    const u32 key = KeyCode(e);
    if (!key) {
      QWidget::keyPressEvent(e);
      return;
    }
    Dispatch(handle_, kUiMsgKeyDown, key);
  }
  void paintEvent(QPaintEvent* e) override {
    if (has_painted_) {
      PaintMessage(this, painted_, top_);
    } else {
      QWidget::paintEvent(e);
    }
  }

 private:
  UiWindow handle_;
  QString painted_;
  int top_ = 0;
  bool has_painted_ = false;
};

// A static text control, which can also show a painted message.
class VkStatic : public QWidget {
 public:
  VkStatic(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {}
  void SetPainted(const QString& text, int top) {
    painted_ = text;
    top_ = top;
    has_painted_ = true;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (has_painted_) {
      PaintMessage(this, painted_, top_);
      return;
    }
    QPainter p(this);
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text_);
  }

 private:
  QString text_;
  QString painted_;
  int top_ = 0;
  bool has_painted_ = false;
};

// Catches the application's quit request for the pump.
class QuitWatch : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == qApp && e->type() == QEvent::Quit) g_qt.quit = true;
    return false;
  }
};

UiWinRec* Live(UiWindow window) {
  UiWinRec* r = UiWinFind(&g_qt.windows, window);
  if (!r) return nullptr;
  if (!g_widgets[UiWinSlot(&g_qt.windows, r)]) {
    UiWinRemove(&g_qt.windows, window, ClearSlot, nullptr);
    return nullptr;
  }
  return r;
}

QWidget* WidgetOf(UiWindow window) {
  const UiWinRec* r = Live(window);
  return r ? g_widgets[UiWinSlot(&g_qt.windows, r)].data() : nullptr;
}

// The top-level widget a new window, box or dialog belongs to: its owner's
// when the library names a live one, else the window the user is working
// in: the innermost dialog run by UiQtRunModal (the program's main dialog,
// which the library knows nothing of), else the active window. Null when
// there is none: then the window stands on its own.
QWidget* OwnerWidget(UiWindow owner) {
  if (QWidget* w = WidgetOf(owner)) return w->window();
  for (qsizetype i = g_modal_runs.size(); i-- > 0;) {
    if (g_modal_runs[i] && g_modal_runs[i]->isVisible()) return g_modal_runs[i]->window();
  }
  return QApplication::activeWindow();
}

// Makes owner the transient parent of the top-level w, which the window
// system then keeps above it (a Qt::Dialog type: most window managers keep
// only dialogs above their parents). w is not made a Qt child of owner: a
// child would be disabled with its owner, which the library disables while
// one of its modal windows is up, and deleted with it behind the library's
// back.
void OwnTo(QWidget* w, QWidget* owner) {
  if (!owner) return;
  (void)owner->winId();
  (void)w->winId();
  if (w->windowHandle() && owner->windowHandle()) w->windowHandle()->setTransientParent(owner->windowHandle());
}

// ---- Backend -----------------------------------------------------------------

bool QtClassRegistered(void*, const char* name) {
  return UiClassKind(name) != kUiKindTop || UiClassFind(&g_qt.classes, name) != kNotFound;
}

bool QtRegisterClass(void*, const char* name, UiWndProc proc) { return UiClassAdd(&g_qt.classes, name, proc); }

UiWindow QtCreateWindow(const UiCreate* p) {
  if (!qApp) return kUiNoWindow;
  const u8 kind = UiClassKind(p->class_name);
  UiWndProc proc = nullptr;
  if (kind == kUiKindTop) {
    const u16 c = UiClassFind(&g_qt.classes, p->class_name);
    if (c == kNotFound) return kUiNoWindow;
    proc = g_qt.classes.procs[c];
  }
  QWidget* parent = WidgetOf(p->parent);
  // A top-level window of the library stays above the window it belongs to.
  QWidget* owner = kind == kUiKindTop ? OwnerWidget(p->parent) : nullptr;
  UiCreate params = *p;
  if (!parent) params.parent = kUiNoWindow;
  if (kind != kUiKindTop && !parent) return kUiNoWindow;
  UiWinRec* r = UiWinAdd(&g_qt.windows, &params, kind, proc);
  if (!r) return kUiNoWindow;

  const QString title = ToQtZ(p->title);
  const int width = p->width == kUiDefaultSize ? kDefaultWidth : p->width;
  const int height = p->height == kUiDefaultSize ? kDefaultHeight : p->height;
  QWidget* w = nullptr;
  switch (kind) {
    case kUiKindTop: {
      Qt::WindowFlags flags = Qt::Window;
      if (owner) {
        flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
      }
      // The close box stays: the procedure hears it as a close request.
      if (p->style & kUiStyleDlgFrame) {
        flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                Qt::WindowCloseButtonHint;
      }
      if (p->ex_style & kUiExTopmost) flags |= Qt::WindowStaysOnTopHint;
      w = new VkWindow(r->handle, nullptr, flags);
      w->setWindowTitle(title);
      w->setAttribute(Qt::WA_DeleteOnClose, false);
      w->move(p->x, p->y);
      w->resize(width, height);
      OwnTo(w, owner);
      break;
    }
    case kUiKindProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, r->range_max);
      bar->setValue(0);
      bar->setTextVisible(false);
      w = bar;
      break;
    }
    case kUiKindStatic:
      w = new VkStatic(title, parent);
      break;
    case kUiKindButton: {
      auto* button = new QPushButton(title, parent);
      const UiWindow handle = r->handle;
      // The click reaches the parent's procedure as a command with the id.
      QObject::connect(button, &QPushButton::clicked, [handle]() {
        const UiWinRec* b = Live(handle);
        if (b) Dispatch(b->parent, kUiMsgCommand, b->id);
      });
      w = button;
      break;
    }
    default:
      break;
  }
  if (!w) {
    UiWinRemove(&g_qt.windows, r->handle, nullptr, nullptr);
    return kUiNoWindow;
  }
  if (kind != kUiKindTop) w->setGeometry(p->x, p->y, width, height);
  g_widgets[UiWinSlot(&g_qt.windows, r)] = w;
  w->setVisible((p->style & kUiStyleVisible) != 0);
  return r->handle;
}

void QtDestroyWindow(UiWindow window) {
  QWidget* w = WidgetOf(window);
  if (!w) return;
  UiWinRemove(&g_qt.windows, window, ClearSlot, nullptr);
  // The window may be destroyed from inside one of its own event handlers
  // (a close request), so it goes at the next pump, not now.
  w->hide();
  w->deleteLater();
}

bool QtIsWindow(UiWindow window) { return WidgetOf(window) != nullptr; }

void QtShowWindow(UiWindow window, bool show) {
  if (QWidget* w = WidgetOf(window)) w->setVisible(show);
}

void QtUpdateWindow(UiWindow window) {
  QWidget* w = WidgetOf(window);
  if (w && w->isVisible()) w->repaint();
}

void QtEnableWindow(UiWindow window, bool enable) {
  if (QWidget* w = WidgetOf(window)) w->setEnabled(enable);
}

void QtSetFocus(UiWindow window) {
  QWidget* w = WidgetOf(window);
  if (!w) return;
  if (w->isWindow()) w->activateWindow();
  w->setFocus(Qt::OtherFocusReason);
}

void QtSetRange(UiWindow bar, u16 max) {
  UiWinRec* r = Live(bar) ? UiBarSetRange(&g_qt.windows, bar, max) : nullptr;
  if (!r) return;
  auto* b = static_cast<QProgressBar*>(WidgetOf(bar));
  b->setRange(0, max);
  b->setValue(static_cast<int>(r->pos));
}

void QtSetPos(UiWindow bar, u32 pos) {
  // QProgressBar ignores a value outside its range; the bar stops at its end.
  UiWinRec* r = Live(bar) ? UiBarSetPos(&g_qt.windows, bar, pos) : nullptr;
  if (!r) return;
  static_cast<QProgressBar*>(WidgetOf(bar))->setValue(static_cast<int>(r->pos));
}

u16 Clamp16(int v) { return static_cast<u16>(v < 0 ? 0 : (v > 0xFFFF ? 0xFFFF : v)); }

UiSize QtClientSize(UiWindow window) {
  const QWidget* w = WidgetOf(window);
  if (!w) return UiSize{0, 0};
  return UiSize{Clamp16(w->width()), Clamp16(w->height())};
}

void QtPaintText(UiWindow window, const u16* text, u16 units, u16 top) {
  const UiWinRec* r = Live(window);
  if (!r) return;
  QWidget* w = WidgetOf(window);
  const QString s = ToQt(text, units, true);
  if (r->kind == kUiKindTop) {
    static_cast<VkWindow*>(w)->SetPainted(s, top);
  } else if (r->kind == kUiKindStatic) {
    static_cast<VkStatic*>(w)->SetPainted(s, top);
  }
}

bool QtPump(UiWindow) {
  // Qt delivers every window's events together; the filter cannot narrow it.
  if (qApp) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  const bool quit = g_qt.quit;
  g_qt.quit = false;
  return quit;
}

void QtPostQuit() { g_qt.quit = true; }

// Qt addresses each input event to the window it happened in, so input that
// waits cannot answer a message box shown now: there is nothing to drop.
void QtDiscardInput() {}

// The buttons a box can have, with the catalogue's text for each (the
// language module's when it has one) and the answer each gives.
struct BoxButton {
  QMessageBox::StandardButton button;
  const char* text_key;
  u16 answer;
};
constexpr BoxButton kBoxButtons[] = {
    {QMessageBox::Ok, "0017", kUiAnswerOk},         {QMessageBox::Yes, "0018", kUiAnswerYes},
    {QMessageBox::No, "0019", kUiAnswerNo},         {QMessageBox::Cancel, "0020", kUiAnswerCancel},
    {QMessageBox::Retry, "0021", kUiAnswerRetry},   {QMessageBox::Ignore, "0022", kUiAnswerIgnore},
    {QMessageBox::Abort, "0023", kUiAnswerAbort},
};

// A catalogue text as Qt shows library text: each windows-1252 byte one
// Latin-1 character. A language module without the text leaves the
// built-in one.
QString CatalogText(const char* key) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice text = MsgText(key);
  if (!text.ptr || text.len == 0) text = MsgBuiltinText(StrC(key));
  const QString s = text.ptr ? QString::fromLatin1(text.ptr, text.len) : QString();
  WorkMark(m);
  return s;
}

u16 QtMessageBox(UiWindow owner, const u16* text, const u16* caption, u16 type) {
  if (!qApp) return kUiAnswerNone;
  // After a stop request (a logout, the terminal closed) nobody is there to
  // answer: the box answers its first button at once, as on the console.
  if (OsStopRequested()) return UiMbFirstAnswer(type);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (type & kUiMbIconMask) {
    case kUiMbIconError:
      icon = QMessageBox::Critical;
      break;
    case kUiMbIconQuestion:
      icon = QMessageBox::Question;
      break;
    case kUiMbIconWarning:
      icon = QMessageBox::Warning;
      break;
    case kUiMbIconInfo:
      icon = QMessageBox::Information;
      break;
    default:
      break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (type & kUiMbButtonsMask) {
    case kUiMbOkCancel:
      buttons = QMessageBox::Ok | QMessageBox::Cancel;
      break;
    case kUiMbAbortRetryIgnore:
      buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
      break;
    case kUiMbYesNoCancel:
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      break;
    case kUiMbYesNo:
      buttons = QMessageBox::Yes | QMessageBox::No;
      break;
    case kUiMbRetryCancel:
      buttons = QMessageBox::Retry | QMessageBox::Cancel;
      break;
    default:
      break;
  }
  QMessageBox box(icon, ToQtZ(caption), ToQtZ(text, true), buttons, OwnerWidget(owner));
  box.setTextFormat(Qt::PlainText);
  // The buttons speak the program's language, as its titles do, not Qt's.
  for (const BoxButton& b : kBoxButtons) {
    if (QAbstractButton* button = box.button(b.button)) button->setText(CatalogText(b.text_key));
  }
  // A box sized to a short text cuts its own title ("Mensaje... rmativo"),
  // which the title bar shows beside its icon and buttons. A spacer across
  // the box's grid keeps it as wide as the title needs there (measured
  // bold, as title bars mostly draw it).
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    QFont bold = box.font();
    bold.setBold(true);
    const int bar_items = kTitleBarItems * box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    const int title_width = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + bar_items;
    grid->addItem(new QSpacerItem(title_width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
  }
  // A stop request while the box waits answers it the same way.
  bool stopped = false;
  QTimer stop_poll;
  QObject::connect(&stop_poll, &QTimer::timeout, &box, [&box, &stopped]() {
    stopped = OsStopRequested() != 0;
    if (stopped) box.done(0);
  });
  stop_poll.start(kStopPollMs);
  box.exec();
  if (stopped) return UiMbFirstAnswer(type);
  const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
  for (const BoxButton& b : kBoxButtons) {
    if (b.button == pressed) return b.answer;
  }
  return kUiAnswerCancel;
}

// The name, pattern pairs of a filter list as Qt name filters. The name is
// shown as it is (details hidden); the patterns are Qt's, where "*.*"
// would only match names with a dot: it means every file, so it is "*".
QStringList NameFilters(const u16* filter) {
  QStringList out;
  if (!filter) return out;
  u32 i = 0;
  for (u32 guard = 0; filter[i] && guard < kMaxText; ++guard) {
    const u32 name_len = UiWideLen(filter + i, kMaxText);
    const QString name = ToQt(filter + i, name_len, false);
    i += name_len + 1;
    const u32 pattern_len = UiWideLen(filter + i, kMaxText);
    QString patterns = ToQt(filter + i, pattern_len, false);
    if (pattern_len) i += pattern_len + 1;
    QStringList qt_patterns;
    for (const QString& one : patterns.split(u';', Qt::SkipEmptyParts)) {
      const QString p = one.trimmed();
      qt_patterns << (p == QStringLiteral("*.*") ? QStringLiteral("*") : p);
    }
    if (qt_patterns.isEmpty()) qt_patterns << QStringLiteral("*");
    out << name + QStringLiteral(" (") + qt_patterns.join(u' ') + u')';
    if (!pattern_len) break;
  }
  return out;
}

bool QtFileDialog(bool save, UiFileDialog* d) {
  if (!qApp || !d->file || d->file_units == 0) return false;
  QFileDialog dialog(OwnerWidget(d->owner));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  if (d->title) dialog.setWindowTitle(ToQtZ(d->title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode((!save && (d->flags & kUiFileMustExist)) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setDirectory(g_qt.file_folder.isEmpty() ? QDir::currentPath() : g_qt.file_folder);
  const QStringList filters = NameFilters(d->filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  const QString ext = ToQtZ(d->default_ext);
  if (!ext.isEmpty()) dialog.setDefaultSuffix(ext);
  // A suggested name with wildcards only repeats the filter.
  const QString initial = PathToQt(d->file);
  if (!initial.isEmpty() && !initial.contains(u'*') && !initial.contains(u'?')) dialog.selectFile(initial);

  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  const QByteArray utf8 = chosen.first().toUtf8();
  char path[kOsPathMax];
  bool lossy = false;
  const u32 len = OsFromUtf8(utf8.constData(), static_cast<u32>(utf8.size()), true, path, sizeof path, &lossy);
  // A character outside Latin-1 cannot be carried: the file is not the one
  // chosen, so nothing is chosen. Neither is a path that does not fit.
  if (len == kOsTooLong || lossy || len + 1 > d->file_units) return false;
  for (u32 i = 0; i < len; ++i) d->file[i] = static_cast<u8>(path[i]);
  d->file[len] = 0;
  // The current directory stays where it was (the caller's relative paths
  // keep their meaning); the next dialog opens in the chosen file's folder.
  g_qt.file_folder = QFileInfo(chosen.first()).absolutePath();
  return true;
}

UiSize QtScreenSize() {
  const QScreen* screen = qApp ? QGuiApplication::primaryScreen() : nullptr;
  if (!screen) return UiSize{0, 0};
  const QRect r = screen->availableGeometry();
  return UiSize{Clamp16(r.width()), Clamp16(r.height())};
}

UiSize QtDialogFrame() {
  if (!qApp) return UiSize{0, 0};
  const u16 f = Clamp16(QApplication::style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
  return UiSize{f, f};
}

bool QtFontMetrics(UiWindow window, UiSize* out) {
  if (!qApp) return false;
  const QWidget* w = WidgetOf(window);
  const QFontMetrics fm(w ? w->font() : QApplication::font());
  *out = UiSize{Clamp16(fm.averageCharWidth()), Clamp16(fm.height())};
  return true;
}

constexpr UiBackend kQtBackend = {
    "qt",           QtClassRegistered, QtRegisterClass, QtCreateWindow, QtDestroyWindow, QtIsWindow,
    QtShowWindow,   QtUpdateWindow,    QtEnableWindow,  QtSetFocus,     QtSetRange,      QtSetPos,
    QtClientSize,   QtPaintText,       QtPump,          QtPostQuit,     QtDiscardInput,  QtMessageBox,
    QtFileDialog,   QtScreenSize,      QtDialogFrame,   QtFontMetrics,
};

// Ends a modal run when its dialog is hidden (done, closed, or ended).
class ModalWatch : public QObject {
 public:
  ModalWatch(QWidget* dialog, QEventLoop* loop) : dialog_(dialog), loop_(loop) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == dialog_ && e->type() == QEvent::Hide) loop_->quit();
    return false;
  }

 private:
  QWidget* dialog_;
  QEventLoop* loop_;
};

}  // namespace

bool UiQtPlatformUsable(const char* program) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = fork();
  // Without a child there is nothing to learn from: Qt is tried as it is.
  if (child < 0) return true;
  if (child == 0) {
    // Qt's complaints about a platform it cannot open, and the core dump of
    // the abort that follows them, are of no use to anyone.
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    char name[] = "vellumcraft";
    char* argv[] = {program ? const_cast<char*>(program) : name, nullptr};
    int argc = 1;
    QGuiApplication probe(argc, argv);
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return true;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void UiQtInstall() {
  UiQtShutdown();
  g_qt = QtUi{};
  for (QPointer<QWidget>& w : g_widgets) w = nullptr;
  if (qApp && !g_quit_watch) {
    g_quit_watch = new QuitWatch;
    g_quit_watch->setParent(qApp);
    qApp->installEventFilter(g_quit_watch);
    // Destroyed with the application: forget it then.
    QObject::connect(g_quit_watch, &QObject::destroyed, []() { g_quit_watch = nullptr; });
  }
  UiSetBackend(&kQtBackend);
}

void UiQtShutdown() {
  for (const UiWinRec& r : g_qt.windows.rec) {
    if (r.handle != kUiNoWindow && r.kind == kUiKindTop) QtDestroyWindow(r.handle);
  }
  for (const UiWinRec& r : g_qt.windows.rec) {
    if (r.handle != kUiNoWindow) QtDestroyWindow(r.handle);
  }
  if (qApp) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* UiQtWidget(UiWindow window) { return WidgetOf(window); }

bool UiQtPressFocusedButton(QWidget* window, int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
  // A push button that is no dialog's default lets these keys pass to its
  // window: the window presses it here, as Space would.
  auto* button = window ? qobject_cast<QPushButton*>(window->focusWidget()) : nullptr;
  if (!button || !button->isEnabled() || !button->isVisible()) return false;
  button->click();
  return true;
}

int UiQtRunModal(QWidget* dialog) {
  if (!dialog || !qApp) return -1;
  QApplication::setQuitOnLastWindowClosed(false);
  QPointer<QWidget> guard(dialog);
  dialog->setProperty(kModalResult, QVariant());
  QEventLoop loop;
  ModalWatch watch(dialog, &loop);
  dialog->installEventFilter(&watch);
  QObject::connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
  // A stop request (ossignal.h) closes the dialog as well: the program is
  // to end. Seen while a run pumps, the loop ends once the run has.
  QTimer stop_poll;
  QObject::connect(&stop_poll, &QTimer::timeout, dialog, [dialog]() {
    if (OsStopRequested()) dialog->hide();
  });
  stop_poll.start(kStopPollMs);
  // Windows the library opens meanwhile without an owner belong to it.
  g_modal_runs.append(guard);
  dialog->show();
  if (dialog->isVisible()) loop.exec();
  g_modal_runs.removeLast();
  if (!guard) return -1;
  dialog->removeEventFilter(&watch);
  const QVariant ended = dialog->property(kModalResult);
  if (ended.isValid()) return ended.toInt();
  if (const auto* d = qobject_cast<QDialog*>(dialog)) return d->result();
  return -1;
}

void UiQtEndModal(QWidget* dialog, int result) {
  if (!dialog) return;
  dialog->setProperty(kModalResult, result);
  dialog->hide();
}

}  // namespace vk
