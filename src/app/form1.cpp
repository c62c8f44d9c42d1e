#include "app/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <cmath>

#include "app/screenfit.h"
#include "canvas/canvas.h"
#include "editing/designdocument.h"
#include "editing/imagesource.h"
#include "editing/textlines.h"
#include "export/exportoptions.h"
#include "export/saveflow.h"
#include "gallery/galleryview.h"
#include "platform/errortrap.h"
#include "platform/messages.h"
#include "platform/twips.h"

namespace vantelo {
namespace {

QFont arialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

void setBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

HoverPushButton::HoverPushButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    setMouseTracking(true);
    setFont(arialBold(11.25));
}

void HoverPushButton::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QPushButton::mouseMoveEvent(event);
    // A move the button ignores would travel on to its frame, whose feedback
    // would put the normal pointer straight back.
    event->accept();
}

void TwoStateCheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

Form1::Form1(AppServices services)
    : CommonDialog1(services.dialogs), services_(std::move(services)) {
    setObjectName(QStringLiteral("Form1"));
    buildLayout();
    wireEvents();
}

Form1::~Form1() {
    // The path box loses the focus while the window closes: that chooses
    // nothing, the handlers are gone by then.
    Text1->disconnect(this);
}

void Form1::buildLayout() {
    // A fixed single border with minimise and system menu but no maximise.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    const QSize client(twipsToPixelsX(9825), twipsToPixelsY(8970));
    setFixedSize(client);
    setBackground(this, Qt::white);
    setFont(arialBold(9));
    setMouseTracking(true);
    // Every control lies in the client area, which the menu bar sits above.
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    client_->setGeometry(QRect(QPoint(0, 0), client));

    canvas = new Canvas(client_, services_.messages, services_.settings);

    Frame1 = new QGroupBox(tr("Image Location"), client_);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    TwipsPlacement(Frame1, 120, 5820, 9600, 810);
    setBackground(Frame1, Qt::white);
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    TwipsPlacement(Text1, 240, 300, 7800, 345);
    PushButton6 = new HoverPushButton(tr("&Browse"), Frame1);
    PushButton6->setObjectName(QStringLiteral("PushButton6"));
    TwipsPlacement(PushButton6, 8160, 300, 1155, 345);

    Frame2 = new QGroupBox(tr("Text Properties"), client_);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    TwipsPlacement(Frame2, 120, 6720, 9600, 1590);
    setBackground(Frame2, Qt::white);
    chkShowA = new TwoStateCheckBox(tr("Show Text Line &1"), Frame2);
    chkShowA->setObjectName(QStringLiteral("chkShowA"));
    TwipsPlacement(chkShowA, 1350, 1215, 1890, 225);
    chkShowB = new TwoStateCheckBox(tr("Show Text Line &2"), Frame2);
    chkShowB->setObjectName(QStringLiteral("chkShowB"));
    TwipsPlacement(chkShowB, 3375, 1215, 1905, 225);
    for (QCheckBox* box : {chkShowA, chkShowB}) {
        box->setCheckState(Qt::Checked);
        // The box paints no background of its own: the frame's shows through,
        // whatever colour the frame (or a skin) gives it.
        box->setAutoFillBackground(false);
        box->setAttribute(Qt::WA_NoSystemBackground);
        // The window's pointer setting is not the box's: the hand belongs to
        // the push buttons only.
        box->setCursor(Qt::ArrowCursor);
    }
    TextLine[1] = new QLineEdit(tr("Your text here"), Frame2);
    TwipsPlacement(TextLine[1], 1350, 800, 5655, 345);
    TextLine[0] = new QLineEdit(tr("Your text here"), Frame2);
    TwipsPlacement(TextLine[0], 1350, 300, 5655, 345);
    for (int i = 0; i < 2; ++i)
        TextLine[i]->setObjectName(QStringLiteral("TextLine%1").arg(i));
    // Mnemonics: each caption underlines a letter of its own, so the two
    // "Font" and the two "Color" buttons differ, and none takes the letter of
    // a menu (Alt+F is the File menu).
    PushButton1 = new HoverPushButton(tr("Fo&nt"), Frame2);
    TwipsPlacement(PushButton1, 7080, 300, 1095, 345);
    PushButton3 = new HoverPushButton(tr("&Color"), Frame2);
    TwipsPlacement(PushButton3, 8280, 300, 1005, 345);
    PushButton2 = new HoverPushButton(tr("F&ont"), Frame2);
    TwipsPlacement(PushButton2, 7080, 795, 1095, 345);
    PushButton4 = new HoverPushButton(tr("Co&lor"), Frame2);
    TwipsPlacement(PushButton4, 8280, 795, 1005, 345);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    PushButton3->setObjectName(QStringLiteral("PushButton3"));
    PushButton4->setObjectName(QStringLiteral("PushButton4"));
    const QString captions[2] = {tr("Text Line 1:"), tr("Text Line 2:")};
    const float labelTop[2] = {345, 840};
    for (int i = 1; i >= 0; --i) {
        Label1[i] = new QLabel(captions[i], Frame2);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        setBackground(Label1[i], Qt::white);
        // Sizes itself to its caption.
        const QSize size = Label1[i]->sizeHint();
        TwipsPlacement(Label1[i], 240, labelTop[i],
                       static_cast<float>(pixelsToTwipsX(size.width())),
                       static_cast<float>(pixelsToTwipsY(size.height())));
    }

    lblSize = new QLabel(tr("Picture si&ze:"), Frame2);
    lblSize->setObjectName(QStringLiteral("lblSize"));
    TwipsPlacement(lblSize, 6600, 1200, 1560, 330);
    lblSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    spnSize = new QSpinBox(Frame2);
    spnSize->setObjectName(QStringLiteral("spnSize"));
    spnSize->setRange(kMinimumScale, kMaximumScale);
    spnSize->setValue(100);
    spnSize->setSuffix(QStringLiteral(" %"));
    spnSize->setAccelerated(true);
    lblSize->setBuddy(spnSize);
    // Below the Color button of line 2, with a gap, not touching it.
    TwipsPlacement(spnSize, 8280, 1200, 1005, 330);

    PushButton5 = new HoverPushButton(tr("&Start Saving Logo As Image"), client_);
    PushButton5->setObjectName(QStringLiteral("PushButton5"));
    TwipsPlacement(PushButton5, 120, 8430, 9600, 405);

    ListView1 = new GalleryView(client_);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    TwipsPlacement(ListView1, 120, 3960, 9600, 1815);
    ListView1->setFont(arialBold(9));
    ListView1->setHeaderHidden(false);
    ListView1->viewport()->setMouseTracking(true);
    ListView1->setMouseTracking(true);
    ListView1->header()->setCursor(Qt::ArrowCursor);
    // At a fractional scale the list's own background, rounded outwards,
    // covers the right edge of its frame; the window's white shows through
    // instead.
    if (std::fmod(devicePixelRatioF(), 1.0) != 0.0)
        ListView1->viewport()->setAutoFillBackground(false);

    describeControls();

    // The keyboard's focus order reads the window as a page, row by row from
    // the top left to the bottom right; the frames and labels take no focus.
    // The canvas takes it too, so that a keyboard user can reach every part.
    // The focus still starts in the picture path.
    canvas->Picture2->setFocusPolicy(Qt::StrongFocus);
    QWidget* const focusOrder[] = {
        canvas->Picture2, canvas->VScroll1, canvas->HScroll1, ListView1,   Text1,       PushButton6,
        TextLine[0],      PushButton1,      PushButton3,      TextLine[1], PushButton2, PushButton4,
        chkShowA,         chkShowB,         spnSize,          PushButton5};
    for (std::size_t i = 1; i < std::size(focusOrder); ++i)
        setTabOrder(focusOrder[i - 1], focusOrder[i]);
    Text1->setFocus();

    logoFolders_ =
        vantelo::logoFolders(services_.applicationFolder, services_.mayWrite, picturesFolder());
    textLines_ = std::make_unique<TextLines>(
        TextLineControls{
            {TextLine[0], TextLine[1]}, {canvas->lblA[0], canvas->lblA[1]}, {chkShowA, chkShowB}},
        CommonDialog1, services_.settings, services_.messages);
    imageSource_ =
        std::make_unique<ImageSource>(*Text1, *ListView1, *canvas, CommonDialog1,
                                      services_.settings, services_.messages, logoFolders_);
    document_ = new DesignDocument(
        DesignControls{
            Text1,
            canvas,
            {{TextLine[0], TextLine[1]}, {canvas->lblA[0], canvas->lblA[1]}, {chkShowA, chkShowB}},
            spnSize},
        services_.settings, services_.messages, this);
    buildMenus();
    // Centred on the screen, or scrolled inside a window that fits it; the
    // menu bar stays above what scrolls.
    fitWindowToScreen(*this);
}

void Form1::wireEvents() {
    connect(Text1, &QLineEdit::textChanged, this,
            [this] { untrapped("Text1_Change", [this] { imageSource_->Text1_Change(); }); });
    for (int i = 0; i < 2; ++i) {
        connect(TextLine[i], &QLineEdit::textChanged, this, [this, i] {
            untrapped("TextLine_Change", [this, i] { textLines_->TextLine_Change(i); });
            document_->record(DesignChange::Typing, i);
        });
    }
    connect(chkShowA, &QCheckBox::stateChanged, this, [this] {
        untrapped("chkShowA_Click", [this] { textLines_->Show_Click(0); });
        document_->record(DesignChange::Show);
    });
    connect(chkShowB, &QCheckBox::stateChanged, this, [this] {
        untrapped("chkShowB_Click", [this] { textLines_->Show_Click(1); });
        document_->record(DesignChange::Show);
    });
    // Each handler changes the design through the controls; what it changed
    // becomes one step of the history.
    const auto edit = [this](auto* sender, auto signal, DesignChange change, auto handler) {
        connect(sender, signal, this, [this, change, handler] {
            handler();
            document_->record(change);
        });
    };
    edit(PushButton1, &QPushButton::clicked, DesignChange::Font,
         [this] { textLines_->Font_Click(0); });
    edit(PushButton2, &QPushButton::clicked, DesignChange::Font,
         [this] { textLines_->Font_Click(1); });
    edit(PushButton3, &QPushButton::clicked, DesignChange::Color,
         [this] { textLines_->Color_Click(0); });
    edit(PushButton4, &QPushButton::clicked, DesignChange::Color,
         [this] { textLines_->Color_Click(1); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    edit(PushButton6, &QPushButton::clicked, DesignChange::Picture,
         [this] { imageSource_->PushButton6_Click(); });
    edit(ListView1, &GalleryView::entryChosen, DesignChange::Picture,
         [this] { imageSource_->ListView1_Click(); });
    wireEditing();
    // The standard keys: Save opens the Save dialog and Open the Browse dialog,
    // as their buttons do; Quit closes the window. Where the platform has no
    // Quit key, Ctrl+Q is used.
    const auto addShortcut = [this](const QKeySequence& keys, auto handler) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    addShortcut(QKeySequence::Save, [this] { PushButton5_Click(); });
    addShortcut(QKeySequence::Open, [this] {
        imageSource_->PushButton6_Click();
        document_->record(DesignChange::Picture);
    });
    const QKeySequence quit(QKeySequence::Quit);
    addShortcut(quit.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : quit, [this] { close(); });
    for (HoverPushButton* button :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6})
        connect(button, &HoverPushButton::mouseMoved, this, [this] { PushButton_MouseMove(); });
    Frame1->setMouseTracking(true);
    Frame2->setMouseTracking(true);
    Frame1->installEventFilter(this);
    Frame2->installEventFilter(this);
    ListView1->viewport()->installEventFilter(this);
}

// Handlers that copy one value and write one setting have no trap of their
// own. A failure there (a settings file that cannot be written) ends the
// handler and goes to the trap of the step that changed the control, at that
// step's line. Raised by the user directly, it is shown under the handler's
// name, once for each kind of failure rather than on every keystroke.
void Form1::untrapped(const char* handler, const std::function<void()>& body) {
    try {
        body();
    } catch (const RuntimeError& error) {
        if (ErrorTrap::reportToCaller(error))
            return;
        const QString location = errorLocation(QStringLiteral("Form1"), QLatin1String(handler));
        const QString key = location + QString::number(error.number());
        if (key == lastUntrappedReport_)
            return;
        lastUntrappedReport_ = key;
        showErrorReport(services_.messages, error, location, 0);
    }
}

void Form1::PushButton5_Click() {
    SaveFlowContext context{CommonDialog1, *canvas, services_.messages, logoFolders_.library};
    context.design = [this] { return renderSourceOf(*canvas, document_->capture()); };
    context.options = [this] { return storedExportOptions(services_.settings); };
    context.saved = [this](const QString& fileName) { listSavedLogo(fileName); };
    vantelo::PushButton5_Click(context);
}

void Form1::setMousePointer(int value) {
    mousePointer_ = value;
    switch (value) {
        case 11:
            setCursor(Qt::WaitCursor);
            break;
        case 99:
            // A cursor file that fails to decode is reported as start-up
            // reported it, once, and leaves the arrow.
            if (handCursorWaiting_) {
                ErrorTrap trap(services_.messages,
                               errorLocation(QStringLiteral("Form1"), QStringLiteral("Form_Load")));
                trap.run(106, [this] { decodeHandCursor(); });
            }
            // Without a hand cursor file the custom pointer is the default arrow.
            if (hasHandCursor())
                setCursor(handCursor_);
            else
                setCursor(Qt::ArrowCursor);
            break;
        default:
            unsetCursor();
            break;
    }
}

// Each feedback handler leaves the hourglass alone.
void Form1::Form_MouseMove() {
    if (MousePointer() != 11)
        setMousePointer(0);
}

void Form1::Frame1_MouseMove() {
    Form_MouseMove();
}

void Form1::Frame2_MouseMove() {
    Form_MouseMove();
}

void Form1::ListView1_MouseMove() {
    Form_MouseMove();
}

void Form1::PushButton_MouseMove() {
    if (MousePointer() != 11)
        setMousePointer(99);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == Frame1)
            Frame1_MouseMove();
        else if (watched == Frame2)
            Frame2_MouseMove();
        else if (watched == ListView1->viewport())
            ListView1_MouseMove();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Form_QueryUnload() {
    ErrorTrap trap(services_.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload")));
    trap.run(100, [] { QCoreApplication::processEvents(); });
    trap.run(102, [] { QCoreApplication::processEvents(); });
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
    // Form_Unload: nothing is saved here, every setting was written when it changed.
    QCoreApplication::exit(0);
}

}  // namespace vantelo
