#include "platform/x11/SaveDialogRunner.h"

namespace platform::x11 {

SaveDialogRunner::SaveDialogRunner(SaveDialogRequest request, std::string pathVariable,
                                   std::vector<std::string> environment)
    : request_(std::move(request)), environment_(std::move(environment)) {
    zenity_ = FindProgram("zenity", pathVariable);
    kdialog_ = FindProgram("kdialog", pathVariable);
    if (!zenity_.empty()) {
        process_ = std::make_unique<ChildProcess>();
        if (process_->Start({zenity_, "--version"}, environment_))
            return;
    }
    stage_ = Stage::Zenity; // no zenity, or it cannot start: on to kdialog
    StartNext();
}

bool SaveDialogRunner::StartDialog(DialogProgram program, const std::string& programPath, bool olderZenity) {
    process_ = std::make_unique<ChildProcess>();
    return process_->Start(SaveDialogArguments(program, programPath, request_, olderZenity), environment_);
}

// Moves past the current stage to the next program that starts; Done with NoProgram when none does.
void SaveDialogRunner::StartNext() {
    process_.reset();
    if (stage_ == Stage::Zenity && !kdialog_.empty()) {
        stage_ = Stage::KDialog;
        if (StartDialog(DialogProgram::KDialog, kdialog_, false))
            return;
    }
    stage_ = Stage::Done;
    outcome_ = Outcome::NoProgram;
}

SaveDialogRunner::Outcome SaveDialogRunner::Poll() {
    if (stage_ == Stage::Done || !process_)
        return outcome_;
    if (process_->Poll() != ChildProcess::State::Finished)
        return outcome_;

    if (stage_ == Stage::Probe) {
        const bool older = IsZenityBefore391(process_->Output());
        stage_ = Stage::Zenity;
        if (!StartDialog(DialogProgram::Zenity, zenity_, older))
            StartNext();
        return outcome_;
    }

    const DialogAnswer answer = InterpretDialogOutput(process_->ExitCode(), process_->Output());
    switch (answer.kind) {
    case DialogAnswer::Kind::Chosen:
        path_ = answer.path;
        outcome_ = Outcome::Chosen;
        stage_ = Stage::Done;
        process_.reset();
        break;
    case DialogAnswer::Kind::Cancelled:
        outcome_ = Outcome::Cancelled;
        stage_ = Stage::Done;
        process_.reset();
        break;
    case DialogAnswer::Kind::Failed:
        // The program could not show a dialog (no display it can use, a broken install): try the next.
        StartNext();
        break;
    }
    return outcome_;
}

} // namespace platform::x11
