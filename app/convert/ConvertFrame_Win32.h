#pragma once
// One frame step of mirpanel: the capture of the mode's mediator, the conversion of every
// display and the hand-off of each block to its link. Windows only.

// Does nothing unless links are up and capture is ready; clears g_captureReady when the
// capture fails or its objects are missing, so that discovery runs again.
void convertFrame();
