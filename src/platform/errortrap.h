#pragma once

#include <QString>
#include <utility>

#include "platform/messages.h"
#include "platform/runtimeerror.h"

namespace vantelo {

// The build-date tag every error location carries.
inline constexpr const char* kBuildDateTag = "2021/08/31";
inline constexpr const char* kProjectTag = "Vantelo";
inline constexpr const char* kFolderWalkProjectTag = "BrenvaldTitle";
inline constexpr const char* kSupportAddress = "support@vantelo.example";

// "Vantelo2021/08/31.Form1.Form_Load"
QString errorLocation(const QString& module, const QString& procedure,
                      const QString& projectTag = QString::fromLatin1(kProjectTag));

// The one error report: description, CR LF, "in <location> at line <n>", two
// CRs, and where to send it.
QString errorReportText(const RuntimeError& error, const QString& location, int line);
void showErrorReport(MessageBoxes& boxes, const RuntimeError& error, const QString& location,
                     int line);

// The error trap of one procedure. A procedure is a list of numbered steps:
// a step that fails is reported with the procedure's location and the step's
// line, and the procedure resumes with the next step.
class ErrorTrap {
public:
    ErrorTrap(MessageBoxes& boxes, QString location)
        : boxes_(boxes), location_(std::move(location)) {}

    // One statement.
    template <typename Step>
    void run(int line, Step&& step) {
        const ActiveStep active(this, line);
        try {
            std::forward<Step>(step)();
        } catch (const RuntimeError& error) {
            report(error, line);
        }
    }

    // The test of an if-statement. A test that fails with an error is reported,
    // and the branch runs anyway: resuming after a failed test enters its block.
    template <typename Condition>
    bool test(int line, Condition&& condition) {
        const ActiveStep active(this, line);
        try {
            return std::forward<Condition>(condition)();
        } catch (const RuntimeError& error) {
            report(error, line);
            return true;
        }
    }

    // An event handler without a trap of its own that fails while a trapped
    // step is running (a control changed by that step raised the handler)
    // hands its error to the innermost such step: it is reported with that
    // trap's location and that step's line. False when no trapped step is
    // running, that is when the user raised the event directly.
    static bool reportToCaller(const RuntimeError& error);

    void report(const RuntimeError& error, int line) {
        ++reports_;
        showErrorReport(boxes_, error, location_, line);
    }

    int reports() const { return reports_; }
    const QString& location() const { return location_; }

private:
    // The trapped step now running; steps nest when a step raises a handler
    // that has a trap of its own.
    struct ActiveStep {
        ActiveStep(ErrorTrap* trap, int line) : trap(trap), line(line), outer(innermost_) {
            innermost_ = this;
        }
        ~ActiveStep() { innermost_ = outer; }
        ActiveStep(const ActiveStep&) = delete;
        ActiveStep& operator=(const ActiveStep&) = delete;
        ErrorTrap* trap;
        int line;
        const ActiveStep* outer;
    };
    // Everything runs on the one user-interface thread.
    static inline thread_local const ActiveStep* innermost_ = nullptr;

    MessageBoxes& boxes_;
    QString location_;
    int reports_ = 0;
};

}  // namespace vantelo
