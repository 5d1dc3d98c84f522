#include "termination.h"

// Console signals do not reach a Windows GUI process; there is nothing to route.
void catchTerminationRequests()
{
}

void routeTerminationRequests(QObject *)
{
}
