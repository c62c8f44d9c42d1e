#pragma once

#include <QCheckBox>
#include <QCursor>
#include <QIcon>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "export/designrenderer.h"
#include "platform/commondialog.h"
#include "platform/skin.h"
#include "platform/userfolders.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSpinBox;

namespace vantelo {

class Canvas;
class DesignDocument;
enum class DesignChange;
class DesignFiles;
class GalleryView;
class ImageSource;
struct KitFlowContext;
class MessageBoxes;
class SettingsStore;
class TextLines;

// The home-page address the build was configured with; empty when it has none.
QString builtInHomePage();

// What the main window needs from outside; tests pass their own.
struct AppServices {
    SettingsStore& settings;
    MessageBoxes& messages;
    DialogPresenter& dialogs;
    // The folder that holds the executable, without a trailing separator.
    QString applicationFolder;
    // A random number with 0 <= r < 1, for the home-page visit.
    std::function<double()> random;
    // Opens the maker's home page; the program does not wait for it.
    std::function<void(const QString& url)> openUrl;
    // The page opened; empty for none.
    QString homePage = builtInHomePage();
    // Whether the user may write a folder; decides where the user's own logos live.
    std::function<bool(const QString& folder)> mayWrite = mayWriteFolder;
};

// A push button that reports mouse moves over it.
class HoverPushButton final : public QPushButton {
    Q_OBJECT
public:
    HoverPushButton(const QString& caption, QWidget* parent);
signals:
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

// A check box whose click ticks or clears it; the greyed state is set only by
// start-up, never reached by clicking.
class TwoStateCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

// The main window. It owns the controls and wires each event to its handler;
// the handlers' logic lives in the canvas, design, gallery and export folders.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    explicit Form1(AppServices services);
    ~Form1() override;

    // Start-up: restores the whole design from the settings store. Runs before
    // the window is shown.
    void Form_Load();

    // The window's pointer setting: 0 default, 11 hourglass, 99 the hand cursor.
    int MousePointer() const { return mousePointer_; }
    void setMousePointer(int value);
    bool hasHandCursor() const { return handCursorWaiting_ || !handCursor_.pixmap().isNull(); }

    // Pointer feedback.
    void Form_MouseMove();
    void Frame1_MouseMove();
    void Frame2_MouseMove();
    void ListView1_MouseMove();
    void PushButton_MouseMove();

    void Form_QueryUnload();

    QString applicationFolder() const { return services_.applicationFolder; }
    // Where Browse and Save start and where the gallery finds the user's logos.
    const LogoFolders& logoFolders() const { return logoFolders_; }

    // The controls, named as the window's layout names them.
    Canvas* canvas;
    QGroupBox* Frame1;
    QLineEdit* Text1;
    HoverPushButton* PushButton6;
    QGroupBox* Frame2;
    QCheckBox* chkShowA;
    QCheckBox* chkShowB;
    QLineEdit* TextLine[2];
    HoverPushButton* PushButton1;
    HoverPushButton* PushButton3;
    HoverPushButton* PushButton2;
    HoverPushButton* PushButton4;
    QLabel* Label1[2];
    QLabel* lblSize;
    QSpinBox* spnSize;
    HoverPushButton* PushButton5;
    GalleryView* ListView1;
    CommonDialog CommonDialog1;
    SkinFramework SkinFramework1;

    TextLines& textLines() { return *textLines_; }
    ImageSource& imageSource() { return *imageSource_; }
    DesignDocument& document() { return *document_; }

    // The menu bar above the client area, and the client area that holds
    // every control at its place in the layout.
    QMenuBar* menuBar() const { return menuBar_; }
    QWidget* clientArea() const { return client_; }
    DesignFiles& designFiles() { return *designFiles_; }
    // Opens a design file named on the command line or dropped on the window.
    bool openDesignFile(const QString& path);

    // The design as shown and the stored export choices, for a logo drawn
    // from it; the background is the canvas's own unless one was chosen.
    RenderSource exportSource() const;
    RenderOptions exportOptions() const;
    // The canvas's right-click menu: undo, snapping and the export choices.
    void showCanvasMenu(const QPoint& globalPosition);
    // "Remove Background…": the tolerance chosen in a dialog that previews
    // it on the canvas; OK keeps it as one step, Cancel puts back the one before.
    void removePictureBackground();
    // Shows the picture at that tolerance (0 keeps its background), stores
    // it and records it as one step.
    void setPictureBackground(int tolerance);
    // Ctrl+C outside the text boxes: the logo as an image, with its transparency.
    void copyLogo();
    // "Export Kit…": asks for the kit's folder, by default a folder of its own
    // in the logos folder, and writes the kit there.
    void chooseKitFolder();
    // The logo kit into the folder, asking before it replaces files it did
    // not write.
    void exportKit(const QString& folder);
    // The canvas in the chosen background colour, when one was chosen.
    void showBackground();
    // "Canvas Size": the presets, "Fit to Picture" and a size of one's own,
    // added to a menu; the canvas menu and a menu bar share it.
    QMenu* addCanvasSizeMenu(QMenu& menu);
    // Sets the canvas to a size in pixels (empty: the classic canvas), grows it
    // to the picture, brings the objects inside, stores it and makes it a step;
    // with `pictureToCorner` the picture moves to the canvas's corner first.
    void setCanvasSize(const QSize& pixels, bool pictureToCorner = false);
    // The canvas takes the picture's size as shown, with the picture at its corner.
    void fitCanvasToPicture();
    // Turns a text line to an angle, brought into -180 to 180 degrees, stores
    // it and makes it a step of the history.
    void setLineAngle(int line, int degrees);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A picture file dropped on the window is chosen as Browse would choose it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildLayout();
    void describeControls();
    void wireEvents();
    void applySkin();
    void loadHandCursor();
    void decodeHandCursor();
    QString handCursorPath() const {
        return services_.applicationFolder + QStringLiteral("/HAND-M.CUR");
    }
    void wireEditing();
    void addLookChoices(QMenu& menu, int line);
    // Stores the angle a line shows, brings the angle boxes in step and
    // makes it a step of the history of the kind given.
    void storeLineAngle(int line, DesignChange change);
    // Removing the picture's background and putting it back.
    void addPictureChoices(QMenu& menu);
    // Shared by the right-click menus and the menu bar.
    void addExportChoices(QMenu& menu);
    void setSnapping(bool on);
    // The menu bar (form1menus.cpp).
    void buildMenus();
    void fillRecentMenu();
    void showKeyboardShortcuts();
    void showAbout();
    void checkLegibility();
    void changeExportOptions(const std::function<void(RenderOptions&)>& change);
    KitFlowContext kitFlow();
    void PushButton5_Click();
    // The gallery's walk over the application folder, then the user's logos.
    // No trap of its own.
    void fillGallery();
    // A logo saved where the gallery walks is listed at once, where the walk
    // lists it.
    void listSavedLogo(const QString& fileName);
    // The gallery highlights the entry of the picture shown, or none.
    void showGalleryEntry();
    void untrapped(const char* handler, const std::function<void()>& body);

    AppServices services_;
    QWidget* client_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    DesignFiles* designFiles_ = nullptr;
    LogoFolders logoFolders_;
    std::unique_ptr<TextLines> textLines_;
    std::unique_ptr<ImageSource> imageSource_;
    DesignDocument* document_ = nullptr;
    QCursor handCursor_;
    // The cursor file passed the checks at start-up and is decoded when the
    // hand is first shown.
    bool handCursorWaiting_ = false;
    int mousePointer_ = 0;
    QString lastUntrappedReport_;
    // The warning each colour button shows now, empty for none: typing and
    // nudging change the design at every key, the buttons only now and then.
    QString legibilityWarning_[2];
    QIcon warningMark_;
    // The picture path the gallery's highlight was last set for.
    QString galleryShows_;
};

// The product name and the application title made from it: drop the last word,
// and more words while the rest is longer than 40 characters. A name without a
// blank is kept whole.
QString productName();
QString titleFromProductName(const QString& name);

// True when a directory search for the path finds a file: wildcards in the
// last part match names in its folder. A path the file system cannot name
// (one holding a NUL) raises 52.
bool directorySearchFindsFile(const QString& path);

}  // namespace vantelo
