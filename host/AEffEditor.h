#pragma once

#include "vst2/Vst2.h"

namespace host {

class AudioEffect;

// Editor base class with do-nothing defaults. The effect owns its editor; the editor only points
// back at the effect.
class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) noexcept;
    virtual ~AEffEditor();
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    // Sets *rect to null and answers 0.
    virtual vst2::VstInt32 getRect(vst2::ERect** rect);
    // Stores the parent window and answers 0.
    virtual vst2::VstInt32 open(void* parentWindow);
    virtual void close();
    // Runs update once after each postUpdate.
    virtual void idle();
    virtual void update();
    virtual void postUpdate();
    virtual vst2::VstInt32 onKeyDown(vst2::VstKeyCode& keyCode);
    virtual vst2::VstInt32 onKeyUp(vst2::VstKeyCode& keyCode);
    virtual vst2::VstInt32 setKnobMode(vst2::VstInt32 mode);
    virtual bool onWheel(float distance);

    AudioEffect* getEffect() const noexcept { return effect; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
    vst2::VstInt32 updateFlag = 0;
};

} // namespace host
