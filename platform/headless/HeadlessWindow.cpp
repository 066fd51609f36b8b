#include "platform/headless/HeadlessWindow.h"

#include "platform/headless/HeadlessWindowFactory.h"

#include <utility>

namespace platform::headless {

HeadlessWindow::HeadlessWindow(HeadlessWindowFactory& factory, int width, int height, WindowEvents& events)
    : factory_(factory), width_(width < 0 ? 0 : width), height_(height < 0 ? 0 : height), events_(events) {}

HeadlessWindow::~HeadlessWindow() {
    // Menus and dialogs close without answering; the timer and the messages die with the window.
    factory_.lastClosedCursorDisplayCount = cursor_.DisplayCount();
    factory_.Forget(this);
}

void HeadlessWindow::Invalidate(const Rect& area) {
    invalid_ = invalid_.Union(area.Intersect(Rect::FromSize(0, 0, width_, height_)));
}

void HeadlessWindow::PostWindowMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) {
    posted_.push_back({id, wParam, lParam});
}

void HeadlessWindow::StartTimer(unsigned intervalMs) {
    timerRunning_ = true;
    timerInterval_ = intervalMs == 0 ? 1 : intervalMs;
    nextTick_ = factory_.Now() + timerInterval_;
}

void HeadlessWindow::ClockAdvanced(double now) {
    while (timerRunning_ && now >= nextTick_) {
        nextTick_ += timerInterval_;
        events_.TimerTick();
    }
}

Point HeadlessWindow::ClientToScreen(Point client) const {
    return {client.x + screenOrigin.x, client.y + screenOrigin.y};
}

Point HeadlessWindow::ScreenToClient(Point screen) const {
    return {screen.x - screenOrigin.x, screen.y - screenOrigin.y};
}

void HeadlessWindow::ShowPopupMenu(const std::vector<MenuItem>& items, Point screen, MenuDrawItem draw,
                                   MenuChosen onChosen) {
    // A second menu replaces the first, which closes without a choice.
    if (menu_) {
        MenuChosen previous = std::move(menu_->onChosen);
        menu_.reset();
        if (previous)
            previous(-1);
    }
    menu_ = OpenMenu{items, screen, std::move(draw), std::move(onChosen)};
    ++menusShown_;
    if (answerAtOnce && !scriptedMenuChoices.empty()) {
        const int choice = scriptedMenuChoices.front();
        scriptedMenuChoices.pop_front();
        ChooseMenuItem(choice);
    }
}

const std::vector<MenuItem>& HeadlessWindow::MenuItems() const {
    static const std::vector<MenuItem> none;
    return menu_ ? menu_->items : none;
}

std::vector<std::uint32_t> HeadlessWindow::DrawMenuItem(int index, bool selected) {
    if (!menu_ || index < 0 || index >= static_cast<int>(menu_->items.size()) || !menu_->draw)
        return {};
    const MenuItem& item = menu_->items[static_cast<std::size_t>(index)];
    if (item.width <= 0 || item.height <= 0)
        return {};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(item.width) * item.height, 0);
    menu_->draw(index, PixelPicture{pixels.data(), item.width, item.height}, selected);
    return pixels;
}

void HeadlessWindow::ChooseMenuItem(int index) {
    if (!menu_)
        return;
    const int count = static_cast<int>(menu_->items.size());
    // Separators and places outside the menu cannot be chosen: the menu just closes.
    if (index < 0 || index >= count || menu_->items[static_cast<std::size_t>(index)].caption == "-")
        index = -1;
    MenuChosen onChosen = std::move(menu_->onChosen);
    menu_.reset();
    if (onChosen)
        onChosen(index);
}

void HeadlessWindow::ShowSaveDialog(const SaveDialogOptions& options, SaveDialogDone onDone) {
    if (dialog_) {
        SaveDialogDone previous = std::move(dialog_->onDone);
        dialog_.reset();
        if (previous)
            previous(std::nullopt);
    }
    dialog_ = OpenDialog{options, std::move(onDone)};
    lastDialog_ = options;
    ++dialogsShown_;
    if (answerAtOnce && !scriptedSaveAnswers.empty()) {
        std::optional<std::string> answer = std::move(scriptedSaveAnswers.front());
        scriptedSaveAnswers.pop_front();
        AnswerSaveDialog(std::move(answer));
    }
}

void HeadlessWindow::AnswerSaveDialog(std::optional<std::string> path) {
    if (!dialog_)
        return;
    SaveDialogDone onDone = std::move(dialog_->onDone);
    dialog_.reset();
    if (onDone)
        onDone(std::move(path));
}

void HeadlessWindow::AnswerScripted() {
    if (menu_ && !scriptedMenuChoices.empty()) {
        const int choice = scriptedMenuChoices.front();
        scriptedMenuChoices.pop_front();
        ChooseMenuItem(choice);
    }
    if (dialog_ && !scriptedSaveAnswers.empty()) {
        std::optional<std::string> answer = std::move(scriptedSaveAnswers.front());
        scriptedSaveAnswers.pop_front();
        AnswerSaveDialog(std::move(answer));
    }
}

int HeadlessWindow::RunPending() {
    int delivered = 0;
    while (!posted_.empty()) {
        const Posted message = posted_.front();
        posted_.pop_front();
        events_.PostedMessage(message.id, message.wParam, message.lParam);
        ++delivered;
    }
    AnswerScripted();
    // A paint may find more to show than it was asked for and invalidate that too; a real window
    // would paint again at once, so do the same, a few times at most.
    for (int pass = 0; pass < 4 && !invalid_.Empty(); ++pass) {
        const Rect area = invalid_;
        invalid_ = {};
        events_.Paint(area);
        ++paintCount_;
    }
    return delivered;
}

std::uint32_t HeadlessWindow::PixelAt(int x, int y) const {
    if (picture_.bits == nullptr || x < 0 || y < 0 || x >= picture_.width || y >= picture_.height)
        return 0;
    return picture_.Row(y)[x];
}

ShiftState HeadlessWindow::Held(ShiftState shift, MouseButton button, bool down) const {
    ShiftState s = shift;
    s.left = buttons_.left;
    s.right = buttons_.right;
    s.middle = buttons_.middle;
    bool& flag = button == MouseButton::Left ? s.left : button == MouseButton::Right ? s.right : s.middle;
    flag = down;
    return s;
}

void HeadlessWindow::MoveMouse(Point client, ShiftState shift) {
    cursor_.MoveTo(ClientToScreen(client));
    ShiftState s = shift;
    s.left = buttons_.left;
    s.right = buttons_.right;
    s.middle = buttons_.middle;
    events_.MouseMove(s, client);
}

void HeadlessWindow::Press(Point client, MouseButton button, ShiftState shift) {
    cursor_.MoveTo(ClientToScreen(client));
    buttons_ = Held(shift, button, true);
    events_.MouseDown(button, buttons_, client);
}

void HeadlessWindow::Release(Point client, MouseButton button, ShiftState shift) {
    cursor_.MoveTo(ClientToScreen(client));
    buttons_ = Held(shift, button, false);
    events_.MouseUp(button, buttons_, client);
}

void HeadlessWindow::Click(Point client, MouseButton button) {
    MoveMouse(client);
    Press(client, button);
    Release(client, button);
}

void HeadlessWindow::DoubleClick(Point client) {
    Click(client);
    cursor_.MoveTo(ClientToScreen(client));
    buttons_ = Held({}, MouseButton::Left, true);
    ShiftState s = buttons_;
    s.doubleClick = true;
    events_.DoubleClick(MouseButton::Left, s, client);
    Release(client);
}

} // namespace platform::headless
