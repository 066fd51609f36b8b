#include "tools/validate/ThreadedRun.h"

#include "tools/validate/EditorParent.h"
#include "tools/validate/Opcodes.h"
#include "tools/validate/Platform.h"
#include "tools/validate/StepGenerator.h"

#include <array>
#include <atomic>
#include <memory>

namespace validate {

namespace {

using namespace vst2;

bool forAutomation(const Step& s) {
    return s.kind == StepKind::SetParameter || s.kind == StepKind::GetParameter;
}

bool forUserInterface(const Step& s) {
    return forAutomation(s) || s.kind == StepKind::Window ||
           (s.kind == StepKind::Dispatch && !IsLifecycleOpcode(s.opcode) && !IsAudioThreadOpcode(s.opcode));
}

// Steps the main (audio) thread runs while the other threads go on. Sound steps use objects of their
// own, which only this thread calls.
bool concurrentOnMain(const Step& s) {
    return s.kind == StepKind::Process || s.kind == StepKind::Time || s.kind == StepKind::FloatMode ||
           s.kind == StepKind::Sound || forAutomation(s) ||
           (s.kind == StepKind::Dispatch && IsAudioThreadOpcode(s.opcode));
}

class Workers {
public:
    Workers(Session& session, const PluginShape& shape, std::uint64_t seed, bool editor,
            ThreadedResult& result)
        : session_(session), result_(result) {
        automation_ = std::make_unique<WorkerThread>([this, shape, seed] {
            StepGenerator steps(seed ^ 0xA5A5A5A5ull, shape);
            loop(Role::Automation, steps, forAutomation);
        });
        userInterface_ = std::make_unique<WorkerThread>([this, shape, seed, editor] {
            // The window lives on this thread, as a host's editor windows live on its UI thread.
            std::unique_ptr<EditorParent> parent =
                editor ? EditorParent::Create(result_.editorNote) : nullptr;
            if (!editor)
                result_.editorNote = "editor windows were not asked for";
            session_.SetParent(Role::UserInterface, parent.get());
            StepGenerator steps(seed ^ 0x5A5A5A5Aull, shape);
            loop(Role::UserInterface, steps, forUserInterface);
            closeEditors();
            session_.SetParent(Role::UserInterface, nullptr);
        });
    }

    ~Workers() { Stop(); }

    // Holds both threads between two of their calls; closing asks the user-interface thread to close
    // its editor first, as a host does before it unloads a plug-in. False when a thread has found
    // something instead, which ends the run. Each pause has a number of its own that a thread
    // acknowledges once held, so a thread still leaving the last pause is never taken as held by this
    // one (a reload could then start before the editor is closed).
    bool Pause(bool closing) {
        closeEditor_.store(closing);
        const int pause = pauseNumber_.fetch_add(1) + 1;
        pause_.store(true);
        while ((held_[0].load() == pause) + (held_[1].load() == pause) + exited_.load() < 2)
            YieldThread();
        return !found_.load();
    }
    void Resume() { pause_.store(false); }

    void Stop() {
        stop_.store(true);
        pause_.store(false);
        if (automation_)
            automation_->Join();
        if (userInterface_)
            userInterface_->Join();
        automation_.reset();
        userInterface_.reset();
    }

    bool Found() const { return found_.load(); }

private:
    template <typename Filter> void loop(Role role, StepGenerator& steps, Filter allowed) {
        run(role, steps, allowed);
        exited_.fetch_add(1);
    }

    template <typename Filter> void run(Role role, StepGenerator& steps, Filter allowed) {
        while (!stop_.load()) {
            if (pause_.load()) {
                const int pause = pauseNumber_.load();
                if (role == Role::UserInterface && closeEditor_.load())
                    closeEditors();
                held_[role == Role::UserInterface ? 1 : 0].store(pause);
                while (pause_.load() && pauseNumber_.load() == pause && !stop_.load())
                    YieldThread();
                continue;
            }
            const Step step = steps.Next();
            if (!allowed(step))
                continue;
            if (step.kind == StepKind::Dispatch && step.opcode == effEditOpen &&
                step.pointer == Pointer::Valid)
                ++openEditors_;
            if (step.kind == StepKind::Dispatch && step.opcode == effEditClose && openEditors_ > 0)
                --openEditors_;
            if (std::optional<Finding> f = session_.Execute(step, role)) {
                if (!found_.exchange(true)) {
                    result_.finding = f;
                    result_.role = role;
                }
                stop_.store(true);
                return;
            }
        }
    }

    void closeEditors() {
        Step close;
        close.kind = StepKind::Dispatch;
        close.opcode = effEditClose;
        for (; openEditors_ > 0; --openEditors_)
            session_.Execute(close, Role::UserInterface);
    }

    Session& session_;
    ThreadedResult& result_;
    std::unique_ptr<WorkerThread> automation_, userInterface_;
    std::atomic<bool> stop_{false}, pause_{false}, closeEditor_{false}, found_{false};
    std::atomic<int> pauseNumber_{0}, exited_{0};
    std::array<std::atomic<int>, 2> held_{}; // the pause each thread holds in: automation, user interface
    int openEditors_ = 0;                    // the user-interface thread's own count
};

} // namespace

ThreadedResult RunThreaded(testhost::EntryPoint entry, const SessionOptions& options, std::uint64_t seed,
                           std::uint64_t steps, bool editor,
                           const std::function<bool(std::uint64_t, const Step&)>& onStep) {
    ThreadedResult result;
    SessionOptions threaded = options;
    threaded.exactParameters = false;
    Session session(entry, threaded);
    if ((result.finding = session.Start()))
        return result;
    const PluginShape shape = session.Shape();
    StepGenerator generator(seed, shape);
    {
        Workers workers(session, shape, seed, editor, result);
        for (std::uint64_t i = 0; i < steps && !workers.Found(); ++i) {
            const Step step = generator.Next();
            if ((step.kind == StepKind::Dispatch && IsEditorOpcode(step.opcode)) ||
                step.kind == StepKind::Window)
                continue; // the editor and its window belong to the user-interface thread
            if (onStep && !onStep(i, step))
                break;
            std::optional<Finding> f;
            if (concurrentOnMain(step)) {
                f = session.Execute(step, Role::Main);
            } else {
                if (!workers.Pause(step.kind == StepKind::Reopen))
                    break;
                f = session.Execute(step, Role::Main);
                workers.Resume();
            }
            ++result.mainSteps;
            if (f && !workers.Found()) {
                result.finding = f;
                result.role = Role::Main;
                break;
            }
        }
        workers.Stop();
    }
    for (int r = 0; r < kRoleCount; ++r)
        result.counts[static_cast<std::size_t>(r)] = session.Counts(static_cast<Role>(r));
    return result;
}

} // namespace validate
