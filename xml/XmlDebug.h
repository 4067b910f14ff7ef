#pragma once

#include "framework/Object.h"

#include <functional>
#include <string>

namespace kq {

enum TXmlWarnStyle : std::uint8_t { wsInfo, wsHint, wsWarn, wsFail };

using TXmlDebugEvent = std::function<void(TObject* Sender, TXmlWarnStyle WarnStyle, const std::string& AMessage)>;

// A non-visual object that reports messages to whoever listens, itself or the first owner that listens.
// The owner is borrowed: whoever created this object frees it.
class TDebugComponent : public TObject {
public:
    explicit TDebugComponent(TObject* AOwner = nullptr) : FOwner(AOwner) {}

    TObject* Owner() const noexcept { return FOwner; }

    // Starting with this one, the first TDebugComponent up the owner chain with OnDebugOut assigned gets
    // the message; the walk stops at an owner that is not a TDebugComponent.
    virtual void DoDebugOut(TObject* Sender, TXmlWarnStyle WarnStyle, const std::string& AMessage);

    TXmlDebugEvent OnDebugOut;

private:
    TObject* FOwner;
};

// Base of the parser and of every node: messages go to the owning component, or nowhere.
class TDebugPersistent : public TObject {
public:
    explicit TDebugPersistent(TDebugComponent* AOwner) : FOwner(AOwner) {}

    virtual void DoDebugOut(TObject* Sender, TXmlWarnStyle WarnStyle, const std::string& AMessage);

protected:
    TDebugComponent* FOwner;
};

} // namespace kq
