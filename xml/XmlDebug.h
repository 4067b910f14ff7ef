#pragma once

#include "framework/Components.h"

#include <functional>
#include <string>

namespace kq {

enum TXmlWarnStyle : std::uint8_t { wsInfo, wsHint, wsWarn, wsFail };

using TXmlDebugEvent = std::function<void(TObject* Sender, TXmlWarnStyle WarnStyle, const std::string& AMessage)>;

// A component that reports messages to whoever listens: itself or the first owner that listens.
class TDebugComponent : public TComponent {
public:
    explicit TDebugComponent(TComponent* AOwner = nullptr) : TComponent(AOwner) {}

    // Starting with this one, the first TDebugComponent up the owner chain with OnDebugOut assigned gets
    // the message; the walk stops at an owner that is not a TDebugComponent.
    virtual void DoDebugOut(TObject* Sender, TXmlWarnStyle WarnStyle, const std::string& AMessage);

    TXmlDebugEvent OnDebugOut;
};

// Base of the parser and of every node: messages go to the owning component, or nowhere.
class TDebugPersistent : public TPersistent {
public:
    explicit TDebugPersistent(TDebugComponent* AOwner) : FOwner(AOwner) {}

    virtual void DoDebugOut(TObject* Sender, TXmlWarnStyle WarnStyle, const std::string& AMessage);

protected:
    TDebugComponent* FOwner;
};

} // namespace kq
