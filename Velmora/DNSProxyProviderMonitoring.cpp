// Network monitoring and the safe-network probe.

#include "Velmora/DNSProxyProvider.h"

void DNSProxyProvider::startNetworkMonitor() {}

void DNSProxyProvider::scheduledProbeFired() {}

void DNSProxyProvider::sendSafeNetworkProbe() {}

void DNSProxyProvider::handleReachable(Reachability&) {}

void DNSProxyProvider::handleUnreachable(Reachability&) {}

void DNSProxyProvider::fireProbeAfterEvent() {}

void DNSProxyProvider::handleProbeResponse(const http::JSONResponse&) {}
