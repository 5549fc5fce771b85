#include "app/qt_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

#include "app/application.h"
#include "platform/qt_backend.h"

namespace vk {

namespace {

constexpr char kAboutCaption[] = "Acerca de Vellumcraft";
constexpr char kAboutVersion[] = "Vellumcraft Versi\xF3n 1.0";
constexpr char kAboutRights[] = "Generador de sitios web multiling\xFC" "es. Todos los derechos reservados.";
constexpr char kAboutOk[] = "Aceptar";
// The dialog templates' sizes in dialog units.
constexpr int kMainWidthDlu = 403;
constexpr int kMainHeightDlu = 150;
constexpr int kAboutWidthDlu = 235;
constexpr int kAboutHeightDlu = 55;
constexpr int kIconSize = 32;

QString Latin1(const char* z) { return QString::fromLatin1(z); }
QString Latin1(StrSlice s) { return QString::fromLatin1(s.ptr, s.len); }

// Dialog units to pixels: a horizontal unit is a quarter of the font's
// average character width, a vertical one an eighth of its height.
QSize DluSize(const QWidget* w, int width, int height) {
  const QFontMetrics fm(w->font());
  return QSize(width * fm.averageCharWidth() / 4, height * fm.height() / 8);
}

class CAboutDlg : public QDialog {
 public:
  explicit CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Latin1(kAboutCaption));
    setWindowIcon(AppIcon());
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* version = new QLabel(Latin1(kAboutVersion), this);
    auto* rights = new QLabel(Latin1(kAboutRights), this);
    auto* ok = new QPushButton(Latin1(kAboutOk), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(rights);
    texts->addStretch(1);
    auto* row = new QHBoxLayout(this);
    row->addWidget(icon);
    row->addLayout(texts, 1);
    row->addWidget(ok, 0, Qt::AlignTop);
    const QSize size = DluSize(this, kAboutWidthDlu, kAboutHeightDlu);
    resize(size.expandedTo(sizeHint()));
  }
};

// The main dialog's window. Its controls carry their ids as object names.
class QtMainDlg : public QDialog {
 public:
  explicit QtMainDlg(CVellumcraftDlg* dlg) : QDialog(nullptr), dlg_(dlg) {
    setWindowTitle(Latin1(kDlgCaption));
    setWindowIcon(AppIcon());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);
    Build();
    auto* about = new QAction(Latin1(kAboutMenuText), this);
    connect(about, &QAction::triggered, this, [this]() { OnSysCommand(this, kSysCmdAbout); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    const DlgView view = {this, Exchange, ComboReset, ComboAdd, ComboText, ComboSelect, SetBusy};
    DlgBindView(dlg_, &view);
    OnInitDialog(dlg_);
  }
  ~QtMainDlg() override { DlgBindView(dlg_, nullptr); }

  // Esc and the close box end the dialog, but not in the middle of a run:
  // the run would go on without its window.
  void reject() override {
    if (!dlg_->running) QDialog::reject();
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_F1) {
      OnSysCommand(this, kSysCmdAbout);
      return;
    }
    // Return and Enter press the push button that has the focus; elsewhere
    // they press nothing (the dialog has no default button): only Esc and
    // the close box end the dialog.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      (void)UiQtPressFocusedButton(this, e->key());
      return;
    }
    QDialog::keyPressEvent(e);
  }

 private:
  QLineEdit* Edit(u16 id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::number(id));
    return e;
  }
  QCheckBox* Check(u16 id, const char* text) {
    auto* c = new QCheckBox(Latin1(text), this);
    c->setObjectName(QString::number(id));
    return c;
  }
  QPushButton* Button(u16 id, const char* text) {
    auto* b = new QPushButton(Latin1(text), this);
    b->setObjectName(QString::number(id));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, id]() { DlgCommand(dlg_, id); });
    return b;
  }
  QLineEdit* Count(u16 id) {
    QLineEdit* e = Edit(id);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setAlignment(Qt::AlignRight);
    e->setFixedWidth(QFontMetrics(font()).averageCharWidth() * 8);
    return e;
  }

  void Build() {
    auto* grid = new QGridLayout(this);
    const char* labels[3] = {"Default Frame Page:", "Tree File:", "Macro Value File:"};
    const u16 edits[3] = {kIdcFramePage, kIdcTreeFile, kIdcMacroFile};
    const u16 browse[3] = {kIdcBrowseFrame, kIdcBrowseTree, kIdcBrowseMacro};
    const int narrow = QFontMetrics(font()).averageCharWidth() * 5;
    for (int r = 0; r < 3; ++r) {
      grid->addWidget(new QLabel(Latin1(labels[r]), this), r, 0);
      paths_[r] = Edit(edits[r]);
      grid->addWidget(paths_[r], r, 1);
      browse_[r] = Button(browse[r], "...");
      browse_[r]->setFixedWidth(narrow);
      grid->addWidget(browse_[r], r, 2);
    }

    grid->addWidget(new QLabel(Latin1("Languages:"), this), 3, 0);
    auto* langs = new QHBoxLayout;
    const char* codes[5] = {"EN:", "ES:", "FR:", "DE:", "IT:"};
    const char* boxes[5] = {"_en", "_es", "_fr", "_de", "_it"};
    const u16 ids[5] = {kIdcEnglish, kIdcSpanish, kIdcFrench, kIdcGerman, kIdcItalian};
    for (int k = 0; k < 5; ++k) {
      langs->addWidget(new QLabel(Latin1(codes[k]), this));
      langs_[k] = Check(ids[k], boxes[k]);
      langs->addWidget(langs_[k]);
      langs->addSpacing(narrow / 2);
    }
    langs->addStretch(1);
    grid->addLayout(langs, 3, 1, 1, 2);

    auto* rule = new QHBoxLayout;
    overwrite_ = Check(kIdcOverwrite, "Overwrite");
    combo_ = new QComboBox(this);
    combo_->setObjectName(QString::number(kIdcTimeWindow));
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->setMinimumContentsLength(9);  // "12 Hours" and a little
    deletion_ = Check(kIdcDeletion, "Overwrite\nDeletion");
    written_ = Count(kIdcWritten);
    avoids_ = Count(kIdcAvoids);
    start_ = Button(kIdcStart, "Start");
    rule->addWidget(overwrite_);
    rule->addWidget(combo_);
    rule->addWidget(deletion_);
    rule->addStretch(1);
    rule->addWidget(new QLabel(Latin1("Written:"), this));
    rule->addWidget(written_);
    rule->addWidget(new QLabel(Latin1("Avoids:"), this));
    rule->addWidget(avoids_);
    rule->addWidget(start_);
    grid->addLayout(rule, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    const QSize size = DluSize(this, kMainWidthDlu, kMainHeightDlu);
    resize(size.expandedTo(grid->sizeHint()));
  }

  static QtMainDlg* Of(void* ctx) { return static_cast<QtMainDlg*>(ctx); }

  static void Text(QLineEdit* e, DlgField* f, bool save) {
    if (save) {
      const QByteArray bytes = e->text().toLatin1();
      DlgSetText(f, StrMake(bytes.constData(), static_cast<u32>(bytes.size())));
    } else {
      e->setText(Latin1(DlgText(*f)));
    }
  }
  static void Box(QCheckBox* c, bool* member, bool save) {
    if (save) {
      *member = c->isChecked();
    } else {
      c->setChecked(*member);
    }
  }

  // The controls in the order of the dialog's exchange: the paths, the
  // boxes (German first), the counts.
  static void Exchange(void* ctx, CVellumcraftDlg* d, bool save) {
    QtMainDlg* w = Of(ctx);
    Text(w->paths_[0], &d->frame, save);
    Text(w->paths_[1], &d->tree, save);
    Text(w->paths_[2], &d->values, save);
    Box(w->langs_[3], &d->german, save);
    Box(w->langs_[0], &d->english, save);
    Box(w->langs_[1], &d->spanish, save);
    Box(w->langs_[2], &d->french, save);
    Box(w->langs_[4], &d->italian, save);
    Box(w->overwrite_, &d->overwrite, save);
    Box(w->deletion_, &d->deletion, save);
    Text(w->written_, &d->written, save);
    Text(w->avoids_, &d->avoids, save);
  }
  static void ComboReset(void* ctx) { Of(ctx)->combo_->clear(); }
  static void ComboAdd(void* ctx, StrSlice label) { Of(ctx)->combo_->addItem(Latin1(label)); }
  // What the combo shows, typed or picked: the dialog takes it as a label.
  static void ComboText(void* ctx, DlgField* text) {
    const QByteArray bytes = Of(ctx)->combo_->currentText().toLatin1();
    DlgSetText(text, StrMake(bytes.constData(), static_cast<u32>(bytes.size())));
  }
  static void ComboSelect(void* ctx, i16 index) {
    QComboBox* c = Of(ctx)->combo_;
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
  }
  static void SetBusy(void* ctx, bool busy) {
    QtMainDlg* w = Of(ctx);
    w->start_->setEnabled(!busy);
    for (QPushButton* b : w->browse_) b->setEnabled(!busy);
  }

  CVellumcraftDlg* dlg_;
  QLineEdit* paths_[3] = {};
  QPushButton* browse_[3] = {};
  QCheckBox* langs_[5] = {};  // EN, ES, FR, DE, IT
  QCheckBox* overwrite_ = nullptr;
  QCheckBox* deletion_ = nullptr;
  QComboBox* combo_ = nullptr;
  QLineEdit* written_ = nullptr;
  QLineEdit* avoids_ = nullptr;
  QPushButton* start_ = nullptr;
};

}  // namespace

QIcon AppIcon() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(38, 70, 120));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(1, 1, kIconSize - 2, kIconSize - 2), 6, 6);
  p.setPen(QPen(Qt::white, 3));
  p.drawLine(QPointF(8, 8), QPointF(16, 25));
  p.drawLine(QPointF(16, 25), QPointF(24, 8));
  p.end();
  return QIcon(pixmap);
}

QDialog* CAboutDlgCreate(QWidget* parent) { return new CAboutDlg(parent); }

bool OnSysCommand(QWidget* parent, u32 command) {
  if ((command & 0xFFF0) != kSysCmdAbout) return false;
  CAboutDlg about(parent);
  about.exec();
  return true;
}

QDialog* QtMainDlgCreate(CVellumcraftDlg* dlg) { return new QtMainDlg(dlg); }

int QtRunMainDialog(CVellumcraftDlg* dlg, AppOptions* options, int argc, char** argv) {
  if (!UiQtPlatformUsable(argc > 0 ? argv[0] : nullptr)) return kAppNoWindow;
  int qt_argc = argc;
  QApplication app(qt_argc, argv);
  UiQtInstall();
  int status = kExitOk;
  {
    QtMainDlg window(dlg);
    if (AppApplyOptions(dlg, options) != kExitOk) {
      AppOptionsRefused(options);
      status = kExitBadOptions;
    } else {
      UiQtRunModal(&window);
    }
  }
  UiQtShutdown();
  return status;
}

}  // namespace vk
