#pragma once
// Whether the machine can reach the internet.

namespace NetUtils {

// True when the system reports a connection (or a configured one), or else
// when a HEAD probe of the platform's web host answers 200 or 407. Never
// throws; a failed probe logs "not connected: ..." at INFO and gives false.
bool isConnected();

}  // namespace NetUtils
