#pragma once
// TDebugComponent, TDebugPersistent: the base classes that report warnings through OnDebugOut.
#include "framework/Components.h"

#include <functional>
#include <string>

namespace kq {

enum TXmlWarnStyle : std::uint8_t { wsInfo, wsHint, wsWarn, wsFail };

using TXmlDebugEvent = std::function<void(TObject* sender, TXmlWarnStyle warn_style, const std::string& message)>;

// A component that reports messages to whoever listens: itself or the first owner that listens.
class TDebugComponent : public TComponent {
public:
    explicit TDebugComponent(TComponent* owner = nullptr) : TComponent(owner) {}

    // Starting with this one, the first TDebugComponent up the owner chain with OnDebugOut assigned gets
    // the message; the walk stops at an owner that is not a TDebugComponent.
    virtual void DoDebugOut(TObject* sender, TXmlWarnStyle warn_style, const std::string& message);

    TXmlDebugEvent OnDebugOut;
};

// Base of the parser and of every node: messages go to the owning component, or nowhere.
class TDebugPersistent : public TPersistent {
public:
    explicit TDebugPersistent(TDebugComponent* owner) : FOwner(owner) {}

    virtual void DoDebugOut(TObject* sender, TXmlWarnStyle warn_style, const std::string& message);

protected:
    TDebugComponent* FOwner;
};

} // namespace kq
