#include "lang/stop_token.h"

namespace lv::lang {

StopToken& evaluationStop() {
    static StopToken token;
    return token;
}

} // namespace lv::lang
