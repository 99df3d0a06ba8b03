#include "records/records.h"

#include <cstring>

headdata::headdata() {
    std::memset(track_list, 255, sizeof track_list);
}

void allocTrackBuffer(TrackRecords& trk, int n) {
    trkdata& t = trk[n];
    t.buf.allocate(8192, "trkdata[%d].vldbuf");
    t.length = 0;
    t.redirect = -1;
    t.partition_mark = 1;
}
