// The Direct3D object, the adapter list and the adapter's driver identity.
#pragma once

// Creates the Direct3D object (releasing any earlier one), fills the adapter
// list, brings the record's adapter into range and runs select_adapter.
// False only when no Direct3D object could be created.
bool build_adapter_list();

// Shows the current adapter's driver version and the video memory, then
// rebuilds the mode table, the resolution list and the refresh-rate list.
bool select_adapter();
