// The "Application Error" report and the step guard of the procedures that carry it.
//
// A reporting procedure is written as a list of numbered steps:
//
//     Procedure p("Form1.Save_It");
//     p.step(100, [&] { ... });
//     p.step(102, [&] { ... });
//
// A step that fails (throws StepFailure, or any std::exception) is reported under the
// procedure's label and the step's number, and the procedure goes on with the next step.
// Routines without a report of their own simply throw; the nearest calling step reports.
#pragma once

#include <QString>

namespace larkspan {

// A failure of one step, carrying the system's or component's description of it.
struct StepFailure
{
    QString description;
};

[[noreturn]] void fail(const QString &description);
// Throws the system's description of errno value `error`.
[[noreturn]] void failErrno(int error);
QString systemErrorText(int error);

// Turns a failed result of the data layer (anything with `ok` and `error`) into a failing step.
template <typename Result> void require(const Result &result)
{
    if (!result.ok)
        fail(result.error);
}

// Tells the user, in a box with the application title, something that is no failure.
void tellUser(const QString &text);

// The same for a save, which may first have taken in what another program wrote (`otherWriter`).
template <typename Saved> void requireSaved(const Saved &saved)
{
    if (!saved.otherWriter.isEmpty())
        tellUser(saved.otherWriter);
    require(saved);
}

// The address that the report asks the user to send a screenshot to.
inline constexpr char kSupportAddress[] = "support@larkspan-cardindex.example";

// "in Larkspanapp2021/08/31.Form1.Save_It " for the procedure "Form1.Save_It".
QString procedureLabel(const QString &procedure);
QString errorReportText(const QString &label, const QString &description, int line);

// Shows the modal report box; returns when the user has closed it.
void ReportError(const QString &label, const QString &description, int line);

class Procedure
{
public:
    explicit Procedure(const QString &name) : label_(procedureLabel(name)) {}

    const QString &label() const { return label_; }

    // Runs one step; on failure reports it and returns false.
    template <typename Step> bool step(int line, Step &&run)
    {
        try {
            run();
            return true;
        } catch (const StepFailure &failure) {
            report(line, failure.description);
        } catch (const std::exception &e) {
            report(line, QString::fromLocal8Bit(e.what()));
        }
        return false;
    }

    void report(int line, const QString &description) const { ReportError(label_, description, line); }

private:
    QString label_;
};

} // namespace larkspan
