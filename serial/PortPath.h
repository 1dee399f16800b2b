#pragma once

#include "PortMap.h"

#include <string>

namespace quorvane {

// Works out the mapping of COM1 to COM16 again (environment, port file, the
// devices found, defaults) and holds it until the next call. The program calls
// it at start-up and each time the port dialog opens, so a port keeps its
// device in between, whatever is plugged in or out.
void RefreshPortMap();

// The mapping held now; worked out at the first call if nothing was yet.
const PortMap& HeldPortMap();

// How many COMn the held mapping offers: COM1 to COM(ComPortCount()).
int ComPortCount();

// The device behind COMn, the one the port opens: for a COMn of the held
// mapping its device; for any other number the path in QUORVANE_COMn when it
// is set and not empty, else /dev/ttyS{n-1}.
std::string ComDevicePath(int n);

} // namespace quorvane
