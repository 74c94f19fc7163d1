#pragma once
// The window-toolkit services the commands rely on: message boxes, a yield to
// the event loop, the desktop shell, the program's folder and the end of the
// program. The commands reach them through Tk(), so tests can install a
// scripted toolkit that answers the questions and records what was shown.
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tambrel {

// Message box buttons and icon, with the values the commands have always used.
enum MessageButtons : int { MbOkOnly = 0, MbYesNo = 4 };
enum MessageIcon : int { MbNoIcon = 0, MbCritical = 16, MbQuestion = 32 };
// The button pressed.
enum MessageResult : int { IdOk = 1, IdYes = 6, IdNo = 7 };

// The title of a message box shown without one.
inline constexpr const char *kProgramTitle = "Tambrel";

class Toolkit {
  public:
    virtual ~Toolkit() = default;
    // Blocks until answered; returns IdOk, IdYes or IdNo. An empty title means
    // the program's title.
    virtual int MessageBox(const std::string &text, int buttons = MbOkOnly, int icon = MbNoIcon,
                           const std::string &title = {}) = 0;
    // Processes the pending window events once and returns.
    virtual void Yield() = 0;
    // Opens an address or document in the desktop's handler; the outcome is not used.
    virtual void ShellOpen(const std::string &address) = 0;
    // The folder the program was started from.
    virtual std::string ApplicationFolder() = 0;
    // Ends the program once control returns to the event loop.
    virtual void EndProgram() = 0;
};

// The toolkit in use; the Qt one unless a test installed another.
Toolkit &Tk();
// Installs `tk` (not owned); nullptr restores the Qt toolkit.
void SetToolkit(Toolkit *tk);

class QtToolkit : public Toolkit {
  public:
    int MessageBox(const std::string &text, int buttons, int icon,
                   const std::string &title) override;
    void Yield() override;
    void ShellOpen(const std::string &address) override;
    std::string ApplicationFolder() override;
    void EndProgram() override;
};

// A toolkit for tests: questions are answered from a queue and every message
// box is recorded. A message box with no queued answer is recorded as
// unexpected (answered OK, or No for a question) so the test can fail on it.
class ScriptedToolkit : public Toolkit {
  public:
    struct Shown {
        std::string Text;
        std::string Title; // as given; empty means the program's title
        int Buttons = MbOkOnly;
        int Icon = MbNoIcon;
        int Answer = 0;
        bool Unexpected = false;
    };

    void QueueAnswer(int answer) { answers_.push_back(answer); }
    std::size_t PendingAnswers() const { return answers_.size(); }
    int UnexpectedCount() const;
    void ClearRecords();

    int MessageBox(const std::string &text, int buttons, int icon,
                   const std::string &title) override;
    void Yield() override;
    void ShellOpen(const std::string &address) override { Opened.push_back(address); }
    std::string ApplicationFolder() override { return Folder; }
    void EndProgram() override { ++EndCount; }

    std::vector<Shown> Messages;
    std::vector<std::string> Opened;
    std::string Folder;
    int Yields = 0;
    int EndCount = 0;
    // Runs at every yield, before pending events are processed: lets a test
    // issue commands at the moments the real event loop could.
    std::function<void()> OnYield;
    // Whether a yield also processes the pending Qt events.
    bool ProcessEvents = true;

  private:
    std::deque<int> answers_;
};

} // namespace tambrel
