#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace vantelo {

// What the Save dialog does with the name the user gave, decided before it
// would ask whether to replace an existing file, so that it never asks about a
// file the program will then refuse to write.
struct SaveNameVerdict {
    enum Action {
        Ask,     // the usual way: ask first when the file exists
        Take,    // return the name at once; the caller explains what it does with it
        Refuse,  // show the message and let the user choose another name
    };
    Action action = Ask;
    QString message;
};
using SaveNameCheck = std::function<SaveNameVerdict(const QString& path)>;

// What actually shows a modal dialog. The window uses Qt's dialogs; tests
// script the answers so that no test ever waits on a modal window.
class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    // nameFilters in Qt's form ("JPG Files (*.jpg)"). nullopt on cancel.
    virtual std::optional<QString> openFile(const QString& folder, const QString& title,
                                            const QStringList& nameFilters) = 0;
    // The save dialog asks before it returns the name of an existing file,
    // unless the check, when there is one, says otherwise.
    virtual std::optional<QString> saveFile(const QString& folder, const QString& title,
                                            const QStringList& nameFilters,
                                            const SaveNameCheck& check) = 0;
    virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
    // A folder, opened in `folder` with `proposed` (the name of a folder in
    // it, which need not exist yet) filled in; the full path of the folder
    // chosen, which may be one to make. nullopt on cancel, and where no
    // dialog can be shown.
    virtual std::optional<QString> chooseFolder(const QString& folder, const QString& proposed,
                                                const QString& title) {
        (void)folder, (void)proposed, (void)title;
        return std::nullopt;
    }
};

// Qt's file, font and colour dialogs.
class QtDialogPresenter final : public DialogPresenter {
public:
    explicit QtDialogPresenter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<QString> openFile(const QString& folder, const QString& title,
                                    const QStringList& nameFilters) override;
    std::optional<QString> saveFile(const QString& folder, const QString& title,
                                    const QStringList& nameFilters,
                                    const SaveNameCheck& check) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;
    std::optional<QString> chooseFolder(const QString& folder, const QString& proposed,
                                        const QString& title) override;

private:
    QWidget* parent_;
};

// Colours are 32-bit values with red in the low byte, then green, then blue.
std::int32_t colorToValue(const QColor& color);
QColor valueToColor(std::int32_t value);

// "desc|patterns|desc|patterns|" -> {"desc (p1 p2)", ...}
QStringList filterToNameFilters(const QString& filter);

// The one dialog object the window shares between its Open, Save, font and
// colour dialogs. Nothing is reset between uses: each use sets what it needs
// and reads back what it wants, and the flags a use sets stay for later ones.
class CommonDialog {
public:
    explicit CommonDialog(DialogPresenter& presenter) : presenter_(&presenter) {}

    QString InitDir;
    QString FileName;
    QString DialogTitle;
    QString Filter;
    int Flags = 0;
    // Asked by ShowSave about the chosen name; none by default.
    SaveNameCheck SaveCheck;

    QString FontName = QStringLiteral("Arial");
    float FontSize = 9;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontStrikethru = false;
    bool FontUnderline = false;

    std::int32_t Color = 0;

    // A cancelled Open or Save leaves FileName empty; a cancelled font or
    // colour dialog leaves the values that were put in. A cancel is no error.
    void ShowOpen();
    void ShowSave();
    void ShowFont();
    void ShowColor();

    void setPresenter(DialogPresenter& presenter) { presenter_ = &presenter; }

private:
    DialogPresenter* presenter_;
};

}  // namespace vantelo
