// SPDX-License-Identifier: Apache-2.0
// What a user needs to choose a channel of a WFDB record: its length, frame
// rate and segments, each signal's format, rate, gain and ADC, and the gaps;
// as readable lines or as JSON.
#ifndef QZKIT_WFDB_INFO_H
#define QZKIT_WFDB_INFO_H

#include <string>

#include "io/wfdb/WfdbRecord.h"

namespace qzkit {

std::string DescribeRecord(const WfdbRecord &record);
std::string DescribeRecordJson(const WfdbRecord &record);

}  // namespace qzkit

#endif
