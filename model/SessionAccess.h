#pragma once
// The engine records behind a session, for code inside model/ and
// model/pictures/ only (the fit, the pictures, model tests): everything
// above the model asks the session itself.
#include "model/EngineSession.h"

namespace ostrander {

struct SessionAccess {
    static DMModelMain& Engine(EngineSession& session) { return *session.engine_; }
    static MainData& Data(EngineSession& session) { return session.data_; }
    static const MainData& Data(const EngineSession& session) { return session.data_; }
    static DMModelLocal& Local(EngineSession& session) { return session.local_; }
    static const DMModelLocal& Local(const EngineSession& session) { return session.local_; }
    static ModelHost& Host(EngineSession& session) { return session.host_; }
};

} // namespace ostrander
