// The Linux editor's popup menu, its save dialog (a dialog program, else a name typed into a panel) and
// the modal panels drawn inside the editor (messages, questions, the name entry).
#include "platform/x11/X11EditorWindow.h"

#include "platform/x11/SaveDialogRunner.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11PopupMenu.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace platform::x11 {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

} // namespace

void X11EditorWindow::QueueMessage(const std::string& caption, const std::string& text) {
    std::lock_guard lock(queuedMutex_);
    queued_.push_back({caption, text});
}

void X11EditorWindow::ShowQueuedMessages() {
    std::vector<QueuedMessage> queued;
    {
        std::lock_guard lock(queuedMutex_);
        queued.swap(queued_);
    }
    for (const QueuedMessage& message : queued)
        ShowMessage(message.caption, message.text);
}

void X11EditorWindow::ShowMessage(const std::string& caption, const std::string& text) {
    PushOverlay({X11Overlay::Message(caption, text), nullptr}, false);
}

void X11EditorWindow::PushOverlay(OverlayEntry entry, bool front) {
    entry.overlay.Layout(width_, height_);
    const bool wantsKeys = entry.overlay.GetKind() == X11Overlay::Kind::FileName;
    if (front)
        overlays_.push_front(std::move(entry));
    else
        overlays_.push_back(std::move(entry));
    dirty_ = {0, 0, width_, height_};
    // A panel for typing a name takes the keyboard; the host gets it back when the panel closes.
    if (wantsKeys && overlays_.front().overlay.GetKind() == X11Overlay::Kind::FileName)
        TakeFocus(CurrentTime);
}

void X11EditorWindow::CloseOverlay(X11Overlay::Action action) {
    if (overlays_.empty())
        return;
    OverlayEntry entry = std::move(overlays_.front());
    overlays_.pop_front();
    dirty_ = {0, 0, width_, height_};
    const bool typing = std::any_of(overlays_.begin(), overlays_.end(), [](const OverlayEntry& e) {
        return e.overlay.GetKind() == X11Overlay::Kind::FileName;
    });
    if (!typing)
        GiveFocusBack();
    if (entry.onClose)
        entry.onClose(action, entry.overlay);
}

void X11EditorWindow::DispatchToOverlay(const XEvent& event) {
    if (overlays_.empty())
        return; // a dialog program is open: the editor takes no input meanwhile
    X11Overlay& overlay = overlays_.front().overlay;
    X11Overlay::Action action = X11Overlay::Action::Ignored;
    if (event.type == ButtonPress && event.xbutton.button == Button1) {
        const Point client{event.xbutton.x, event.xbutton.y};
        if (overlay.InEntryField(client))
            TakeFocus(event.xbutton.time);
        action = overlay.MouseDown(client);
    } else if (event.type == KeyPress) {
        char typed[32];
        KeySym keysym = NoSymbol;
        XKeyEvent key = event.xkey;
        const int length = XLookupString(&key, typed, sizeof typed, &keysym, nullptr);
        action = overlay.Key(keysym, std::string(typed, static_cast<std::size_t>(std::max(length, 0))));
    }
    if (action == X11Overlay::Action::Redraw)
        dirty_ = {0, 0, width_, height_};
    else if (action == X11Overlay::Action::Accept || action == X11Overlay::Action::Cancel)
        CloseOverlay(action);
}

void X11EditorWindow::ShowPopupMenu(const std::vector<MenuItem>& items, Point screen, MenuDrawItem draw,
                                    MenuChosen onChosen) {
    X11ErrorTrap trap(display_);
    if (menu_) {
        menu_.reset();
        if (MenuChosen previous = std::move(menuChosen_))
            deferred_.push_back([previous] { previous(-1); });
    }
    if (windowGone_ || items.empty()) {
        deferred_.push_back([onChosen] {
            if (onChosen)
                onChosen(-1);
        });
        return;
    }
    // The menu takes the pointer: a capture or press in progress ends, as it does on Windows.
    const bool hadCapture = captured_ || grabActive_ || heldButtons_ != 0;
    if (grabActive_)
        XUngrabPointer(display_, CurrentTime);
    grabActive_ = false;
    captured_ = false;
    heldButtons_ = 0;
    if (hadCapture)
        deferred_.push_front([this] { events_.CaptureLost(); });
    menu_ = std::make_unique<X11PopupMenu>(display_, screenNumber_, items, screen, std::move(draw));
    menuChosen_ = std::move(onChosen);
}

void X11EditorWindow::RunMenu() {
    if (!menu_)
        return;
    menu_->Idle();
    if (!menu_->Finished())
        return;
    const int choice = menu_->Choice();
    menu_.reset();
    MenuChosen chosen = std::move(menuChosen_);
    menuChosen_ = nullptr;
    if (chosen)
        chosen(choice);
}

void X11EditorWindow::ShowSaveDialog(const SaveDialogOptions& options, SaveDialogDone onDone) {
    if (dialogActive_ || windowGone_) {
        deferred_.push_back([onDone] {
            if (onDone)
                onDone(std::nullopt);
        });
        return;
    }
    dialogActive_ = true;
    dialogOptions_ = options;
    dialogDone_ = std::move(onDone);

    SaveDialogRequest request;
    request.title = "Save As";
    request.initialFolder = options.initialFolder;
    request.fileName = options.fileName;
    request.confirmOverwrite = options.overwritePrompt;
    // The first "description|patterns" pair of the filter; patterns are separated by ';'.
    const std::size_t bar = options.filter.find('|');
    if (bar != std::string::npos) {
        request.filterName = options.filter.substr(0, bar);
        std::string patterns = options.filter.substr(bar + 1);
        patterns = patterns.substr(0, patterns.find('|'));
        std::size_t start = 0;
        while (start < patterns.size()) {
            std::size_t end = patterns.find(';', start);
            if (end == std::string::npos)
                end = patterns.size();
            if (end > start)
                request.patterns.push_back(patterns.substr(start, end - start));
            start = end + 1;
        }
    }
    const char* path = std::getenv("PATH");
    dialog_ =
        std::make_unique<SaveDialogRunner>(request, path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin",
                                           DialogEnvironment(environ, window_));
}

void X11EditorWindow::RunDialog() {
    if (!dialog_)
        return;
    switch (dialog_->Poll()) {
    case SaveDialogRunner::Outcome::Running:
        return;
    case SaveDialogRunner::Outcome::Chosen:
        FinishDialog(dialog_->Path());
        return;
    case SaveDialogRunner::Outcome::Cancelled:
        FinishDialog(std::nullopt);
        return;
    case SaveDialogRunner::Outcome::NoProgram:
        break;
    }
    dialog_.reset();
    // No dialog program: the name is typed into a panel inside the editor.
    struct Asker {
        X11EditorWindow* window;
        void Ask(const std::string& name) const {
            X11Overlay panel = X11Overlay::FileName("Save As", name);
            const Asker self = *this;
            window->PushOverlay(
                {std::move(panel), [self](X11Overlay::Action action,
                                          const X11Overlay& closed) { self.Answer(action, closed.Entry()); }},
                false);
        }
        void Answer(X11Overlay::Action action, const std::string& typed) const {
            if (action != X11Overlay::Action::Accept || typed.empty()) {
                window->FinishDialog(std::nullopt);
                return;
            }
            const SaveDialogOptions& options = window->dialogOptions_;
            std::string folder = FolderOf(options.fileName);
            if (folder.empty())
                folder = options.initialFolder;
            const std::string path = folder.empty() ? typed : folder + "/" + typed;
            if (!options.overwritePrompt || !FileExists(path)) {
                window->FinishDialog(path);
                return;
            }
            const Asker self = *this;
            window->PushOverlay(
                {X11Overlay::Question("Save As", path + " already exists.\nDo you want to replace it?"),
                 [self, path, typed](X11Overlay::Action answer, const X11Overlay&) {
                     if (answer == X11Overlay::Action::Accept)
                         self.window->FinishDialog(path);
                     else
                         self.Ask(typed);
                 }},
                true);
        }
    };
    Asker{this}.Ask(NameOf(dialogOptions_.fileName));
}

void X11EditorWindow::FinishDialog(std::optional<std::string> path) {
    dialog_.reset();
    dialogActive_ = false;
    SaveDialogDone done = std::move(dialogDone_);
    dialogDone_ = nullptr;
    if (done)
        done(std::move(path));
}

} // namespace platform::x11
