// What the unit's end frees, from the files that own it.
#ifndef KV_CONTROL_SERVICES_INTERNAL_H
#define KV_CONTROL_SERVICES_INTERNAL_H

namespace kvcontrols {

// Raises while a mouse-tracking timer runs; frees the empty list otherwise.
void freeMouseTrackingList();
void freeSettingsController();
void freeTimerWindow();
void freeActiveTimerList();

} // namespace kvcontrols

#endif
