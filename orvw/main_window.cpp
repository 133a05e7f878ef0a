#include "orvw/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <clocale>

#include "orvgrid/preview_set.h"
#include "orvw/qt_prompts.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"
#include "orvw/widgets/up_down.h"

namespace {

char localeDecimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    if (conventions && conventions->decimal_point && conventions->decimal_point[0])
        return conventions->decimal_point[0];
    return '.';
}

}  // namespace

TfrmMain::TfrmMain(WindowOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      settings_path_(std::move(options.settings_path)),
      prompts_(std::move(options.prompts)),
      export_prompt_(std::move(options.export_prompt)),
      decimal_separator_(options.decimal_separator ? options.decimal_separator
                                                   : localeDecimalSeparator()),
      threads_(options.threads) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvane"));
    if (!prompts_) prompts_ = std::make_unique<QtPrompts>(this);

    // The design's 8-point sans face; the semi-condensed cut keeps the long captions
    // within the widths the form gives them.
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStretch(QFont::SemiCondensed);
    setFont(font);
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setFixedSize(676, 676);

    createControls();
    setCreationValues();
    previews_ = std::make_unique<PreviewSet>(image_width_, image_height_, NodeGrids::OnRequest);
    setTabOrderOfForm();
    createExportAction();

    connect(btn_in, &QPushButton::clicked, this, &TfrmMain::btn_inClick);
    connect(btn_log, &QPushButton::clicked, this, &TfrmMain::btn_logClick);
    connect(btn_out, &QPushButton::clicked, this, &TfrmMain::btn_outClick);
    connect(btn_calc, &QPushButton::clicked, this, &TfrmMain::btn_calcClick);
    connect(btn_stop, &QPushButton::clicked, this, &TfrmMain::btn_stopClick);
    connect(btn_exit, &QPushButton::clicked, this, &TfrmMain::btn_exitClick);
    connect(btn_load, &QPushButton::clicked, this, &TfrmMain::btn_loadClick);
    connect(btn_save1, &QPushButton::clicked, this, &TfrmMain::btn_save1Click);
    connect(btn_save2, &QPushButton::clicked, this, &TfrmMain::btn_save2Click);
    connect(btn_save3, &QPushButton::clicked, this, &TfrmMain::btn_save3Click);
    // Only the user's choice re-grids a preview, not the lists being refilled.
    connect(cb1, &QComboBox::activated, this, &TfrmMain::cb1Change);
    connect(cb2, &QComboBox::activated, this, &TfrmMain::cb2Change);
    connect(cb3, &QComboBox::activated, this, &TfrmMain::cb3Change);
    connect(img_uba, &PreviewPicture::mapRequested, this, [this] { openMap(1); });
    connect(img_regta, &PreviewPicture::mapRequested, this, [this] { openMap(2); });
    connect(img_delta, &PreviewPicture::mapRequested, this, [this] { openMap(3); });
    connect(rg_tendencies, &RadioGroup::itemClicked, this, &TfrmMain::rg_tendenciesClick);
    connect(rg_method, &RadioGroup::indexChanged, this, &TfrmMain::rg_methodClick);
    // Esc is Stop from the keyboard, whatever control has the focus.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (busy_) btn_stopClick();
    });
    for (QLineEdit* field : {txt_radius, txt_nearest, txt_threshold, txt_minalfa, txt_maxalfa,
                             txt_seqquot, txt_iter})
        field->installEventFilter(this);

    ReadCfg();

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::fitScreen(const QRect& available) {
    // What the window system adds around the client area: title bar and borders.
    constexpr int FRAME_WIDTH = 16;
    constexpr int FRAME_HEIGHT = 48;
    const QSize form = size();
    if (form.width() + FRAME_WIDTH <= available.width() &&
        form.height() + FRAME_HEIGHT <= available.height())
        return;
    if (findChild<QScrollArea*>(QStringLiteral("form_scroll"))) return;

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("form_page"));
    page->setFixedSize(form);
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const bool hidden = control->isHidden();
        const QRect place = control->geometry();
        control->setParent(page);
        control->setGeometry(place);
        control->setVisible(!hidden);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("form_scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(page);
    const int bar = scroll->verticalScrollBar()->sizeHint().width();
    const QSize fitted(qMin(form.width() + bar, available.width() - FRAME_WIDTH),
                       qMin(form.height() + bar, available.height() - FRAME_HEIGHT));
    setFixedSize(fitted);
    scroll->setGeometry(rect());
    // The frame's top left: the title bar starts at the top of the free area.
    move(available.left() + (available.width() - fitted.width()) / 2, available.top());
}

void TfrmMain::btn_exitClick() {
    close();
}

void TfrmMain::btn_stopClick() {
    stop_requested_ = true;
}

// Closing is never refused; during a run it waits for the run to unwind (files
// closed, rows kept), which the stop flag brings about without a question.
void TfrmMain::closeEvent(QCloseEvent* event) {
    if (busy_) {
        close_pending_ = true;
        stop_requested_ = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

// Leaving a numeric field checks it once the focus has settled; focus lost to another
// window, a menu or a message box is not leaving it.
bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    // The arrow keys in the iteration field step it as its arrows do.
    if (watched == txt_iter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            up1->step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            reason != Qt::MenuBarFocusReason)
            scheduleFieldCheck(qobject_cast<QLineEdit*>(watched));
    }
    return QWidget::eventFilter(watched, event);
}
