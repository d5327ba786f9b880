#include "log_internal.h"

namespace sarnik {

// Until a decoration setting has been given there is nothing to carry over to a new logger.
void logApplyPendingDecorations(Logger *) {}

} // namespace sarnik
