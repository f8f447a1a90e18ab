// Pieces of the portable voice check that tests look at on their own.
#pragma once

// What the query step answers for these device counts: 0 when there is a
// playback and a capture device, DVERR_RUNSETUP otherwise.
long voice_query_result(int playback_devices, int capture_devices);

// Devices of one direction as the audio system reports them; when it cannot
// list them, 1 if its default device opens and 0 if not.
int voice_device_count(bool capture);

// True while the setup dialog is open.
bool voice_wizard_open();
