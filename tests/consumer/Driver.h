// SPDX-License-Identifier: Apache-2.0
// A header of the host program's own, with a generic name: the library's
// headers must never be found in its place.
#ifndef DRIVER_H
#define DRIVER_H

#define HOST_DRIVER_HEADER 1

#endif
