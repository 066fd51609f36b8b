#include "host/TVstTemplateEditor.h"
#include "tests/unit/host/TestEffect.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vst2;
using hosttest::TestEffect;

namespace {

struct FormLog {
    int created = 0;
    int destroyed = 0;
    int attachPosts = 0;
    int idles = 0;
    host::AudioEffect* attachedEffect = nullptr;
    void* parent = nullptr;
    bool refuse = false;          // the form class makes no form (no window could be made)
    std::function<void()> onIdle; // run inside the form's idle work
};

class FakeForm : public host::EditorForm {
public:
    explicit FakeForm(FormLog& log) : log_(log) { ++log_.created; }
    ~FakeForm() override { ++log_.destroyed; }
    int ClientWidth() const override { return 780; }
    int ClientHeight() const override { return 303; }
    void PostAttachMessage(host::AudioEffect& effect) override {
        ++log_.attachPosts;
        log_.attachedEffect = &effect;
    }
    void Idle() override {
        ++log_.idles;
        if (log_.onIdle)
            log_.onIdle();
    }

private:
    FormLog& log_;
};

class FakeFormClass : public host::EditorFormFactory {
public:
    explicit FakeFormClass(FormLog& log) : log_(log) {}
    std::unique_ptr<host::EditorForm> CreateForm(void* parentWindow) override {
        log_.parent = parentWindow;
        if (log_.refuse)
            return nullptr;
        return std::make_unique<FakeForm>(log_);
    }

private:
    FormLog& log_;
};

std::unique_ptr<TestEffect> effectWithEditor(FormLog& log) {
    auto effect = std::make_unique<TestEffect>(TestEffect::DefaultIdentity(), 181,
                                               std::make_unique<FakeFormClass>(log));
    effect->AttachHandlers();
    return effect;
}

ERect getRect(host::AudioEffect& effect, VstIntPtr* answer) {
    ERect* rect = nullptr;
    *answer = effect.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f);
    return rect != nullptr ? *rect : ERect{-1, -1, -1, -1};
}

} // namespace

TEST(TVstTemplateEditor, RectangleBeforeAndAfterAForm) {
    FormLog log;
    auto effect = effectWithEditor(log);
    EXPECT_EQ(effect->getAeffect()->flags, effFlagsHasEditor);
    VstIntPtr answer = 0;
    ERect r = getRect(*effect, &answer);
    EXPECT_EQ(answer, 1);
    EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0) << "0 x 0 before the first open";
    int parent = 0;
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f), 1);
    EXPECT_EQ(log.parent, &parent);
    r = getRect(*effect, &answer);
    EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 303 && r.right == 780) << "the form's client size";
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    r = getRect(*effect, &answer);
    EXPECT_TRUE(r.bottom == 303 && r.right == 780) << "the last size is kept after close";
}

TEST(TVstTemplateEditor, OpensNestAndOnlyTheLastCloseDestroys) {
    FormLog log;
    auto effect = effectWithEditor(log);
    int parent = 0;
    effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f);
    effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f);
    EXPECT_EQ(log.created, 1) << "a second open creates nothing";
    EXPECT_EQ(log.attachPosts, 1);
    EXPECT_EQ(log.attachedEffect, effect.get());
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(log.destroyed, 0) << "one close of two opens leaves the form";
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(log.destroyed, 1);
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f);
    EXPECT_EQ(log.created, 2) << "an unmatched close does not leave the count below zero";
}

TEST(TVstTemplateEditor, AnOpenThatMakesNoEditorAnswers0AndLeavesNoCountBehind) {
    FormLog log;
    auto effect = effectWithEditor(log);
    int parent = 0;
    VstIntPtr answer = 0;
    log.refuse = true;
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f), 0) << "no window, no editor";
    ERect r = getRect(*effect, &answer);
    EXPECT_TRUE(answer == 1 && r.bottom == 0 && r.right == 0) << "still the rectangle before any form";
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_TRUE(effect->idleForms.empty());

    log.refuse = false;
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f), 1) << "a later open with a good window";
    log.refuse = true;
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f), 1) << "a second open finds the form";
    getRect(*effect, &answer);
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f), 0);
    r = getRect(*effect, &answer);
    EXPECT_TRUE(r.bottom == 303 && r.right == 780) << "the last form's size is kept";
    log.refuse = false;
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f), 1);
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(log.destroyed, 2) << "one close balances the one open that made a form";
}

TEST(TVstTemplateEditor, IdleRunsTheHandlerOnlyWhileOpen) {
    FormLog log;
    auto effect = effectWithEditor(log);
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_TRUE(effect->idleForms.empty()) << "idle while closed does nothing";
    int parent = 0;
    effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f);
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect->idleForms.size(), 2u) << "once per idle call";
    EXPECT_EQ(log.idles, 2);
    EXPECT_EQ(effect->dispatcher(effEditKeyDown, 'a', 0, nullptr, 0.0f), -1);
    EXPECT_EQ(effect->dispatcher(effEditKeyUp, 'a', 0, nullptr, 1.0e30f), -1);
    EXPECT_EQ(effect->dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 0);
}

TEST(TVstTemplateEditor, ClosingTheEffectDestroysAnOpenForm) {
    FormLog log;
    bool destroyed = false;
    auto effect = effectWithEditor(log);
    effect->destroyed = &destroyed;
    int parent = 0;
    effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f);
    AEffect* record = effect.release()->getAeffect();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(log.destroyed, 1);
}

namespace {

// An idle handler that has the host close the editor under it, then keeps working on the form.
struct ClosingIdleHandler {
    TestEffect* effect = nullptr;
    FormLog* log = nullptr;
    int destroyedWhileHandling = -1;
    int widthAfterClose = 0;
    void OnEditorIdle(host::EditorForm& form) {
        effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        destroyedWhileHandling = log->destroyed;
        widthAfterClose = form.ClientWidth();
    }
};

} // namespace

TEST(TVstTemplateEditor, ClosingInsideAnIdleCallKeepsTheFormUntilItReturns) {
    FormLog log;
    auto effect = effectWithEditor(log);
    int parent = 0;

    // Closed by the handler: the handler may go on using its form.
    ClosingIdleHandler handler{effect.get(), &log};
    effect->EditorIdle = host::Handler<host::EditorForm&>::Of<&ClosingIdleHandler::OnEditorIdle>(&handler);
    effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f);
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(handler.destroyedWhileHandling, 0) << "the form outlives the handler that is using it";
    EXPECT_EQ(handler.widthAfterClose, 780);
    EXPECT_EQ(log.destroyed, 1) << "destroyed once the idle call has returned";
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(log.idles, 1) << "closed: later idle calls do nothing";

    // Closed during the form's own idle work: the handler is not called with a closed form, and a
    // reopen in the same call gets a fresh form that stays.
    effect->AttachHandlers();
    effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f);
    bool reopened = false;
    log.onIdle = [&] {
        if (reopened)
            return;
        reopened = true;
        effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        EXPECT_EQ(log.destroyed, 1);
        effect->dispatcher(effEditOpen, 0, 0, &parent, 0.0f);
    };
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_TRUE(effect->idleForms.empty()) << "no handler call for the form closed during its idle work";
    EXPECT_EQ(log.created, 3);
    EXPECT_EQ(log.destroyed, 2);
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect->idleForms.size(), 1u) << "the reopened form is idled as usual";
}
