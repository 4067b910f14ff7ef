#include "xml/XmlDebug.h"

namespace kq {

void TDebugComponent::DoDebugOut(TObject* Sender, TXmlWarnStyle WarnStyle, const std::string& AMessage) {
    for (TDebugComponent* c = this; c; c = dynamic_cast<TDebugComponent*>(c->Owner())) {
        if (c->OnDebugOut) {
            c->OnDebugOut(Sender, WarnStyle, AMessage);
            return;
        }
    }
}

void TDebugPersistent::DoDebugOut(TObject* Sender, TXmlWarnStyle WarnStyle, const std::string& AMessage) {
    if (FOwner) FOwner->DoDebugOut(Sender, WarnStyle, AMessage);
}

} // namespace kq
