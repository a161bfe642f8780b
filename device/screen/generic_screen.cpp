#include "device/screen/generic_screen.h"

#include <algorithm>
#include <string>

namespace tactra {

std::string DescribeScreenCounters(const GenericScreenCounters& c) {
    return std::to_string(c.frames) + " frames, dropped " + std::to_string(c.tooShort) +
           " short and " + std::to_string(c.unknownReportId) + " of another report ID, " +
           std::to_string(c.ignoredContacts) + " contacts beyond the two ignored, lifted " +
           std::to_string(c.liftedNotSeen) + " not seen and " + std::to_string(c.liftedTimedOut) +
           " silent, " + std::to_string(c.abandonedFrames) + " frames cut short" +
           (c.framePerReport ? ", read one frame per report" : "");
}

GenericTouchScreen::GenericTouchScreen(const ContactLayout& layout, const DeviceQuirks& quirks)
    : layout_(layout), quirks_(quirks) {
    std::string reason;
    usable_ = CheckContactLayout(layout_, reason);
}

void GenericTouchScreen::SetPanelRange(int32_t maxX, int32_t maxY) {
    panelMaxX_ = std::clamp<int32_t>(maxX, 1, 65535);
    panelMaxY_ = std::clamp<int32_t>(maxY, 1, 65535);
}

int GenericTouchScreen::Find(uint32_t key) const {
    for (int i = 0; i < contactCount_; ++i) {
        if (contacts_[i].key == key) return i;
    }
    return -1;
}

namespace {

// A position's place in its logical range, as a fraction num / den (0 <= num <= den).
void Fraction(int32_t value, const LayoutField& f, int64_t& num, int64_t& den) {
    den = static_cast<int64_t>(f.logicalMax) - f.logicalMin;
    num = std::clamp<int64_t>(static_cast<int64_t>(value) - f.logicalMin, 0, den);
}

}  // namespace

void GenericTouchScreen::AddEntry(const DecodedContact& c, int finger, uint32_t position) {
    if (quirks_.validBit == ValidBit::kInRange && c.hasInRange && !c.inRange) return;
    if (quirks_.validBit == ValidBit::kConfidence && c.hasConfidence && !c.confidence) return;
    uint32_t key = position;
    if (!quirks_.contactIdUnusable && c.hasId) {
        if (quirks_.idsStartAtOne && c.id == 0) return;  // an empty slot
        key = c.id;
    }
    Entry e;
    e.key = key;
    e.touching = c.hasTipSwitch ? c.tipSwitch : (c.hasInRange ? c.inRange : true);
    const FingerLayout& f = layout_.fingers[finger];
    int64_t nx = 0, dx = 1, ny = 0, dy = 1;
    Fraction(c.x, f.x, nx, dx);
    Fraction(c.y, f.y, ny, dy);
    if (quirks_.swapXY) {
        std::swap(nx, ny);
        std::swap(dx, dy);
    }
    int64_t x = nx * panelMaxX_ / dx;
    int64_t y = ny * panelMaxY_ / dy;
    if (quirks_.invertX) x = panelMaxX_ - x;
    if (quirks_.invertY) y = panelMaxY_ - y;
    e.x = static_cast<uint16_t>(x);
    e.y = static_cast<uint16_t>(y);
    // Within a frame a contact reported touching wins over an empty slot of its id.
    for (int i = 0; i < entryCount_; ++i) {
        if (entries_[i].key == key) {
            if (e.touching) entries_[i] = e;
            return;
        }
    }
    if (entryCount_ < kMaxContacts) entries_[entryCount_++] = e;
}

ScreenOutcome GenericTouchScreen::Feed(const uint8_t* data, size_t length, uint32_t tick,
                                       PanelInputReport& report) {
    if (!usable_) return ScreenOutcome::kUnusableLayout;
    switch (DecodeContactReport(layout_, data, length, decoded_)) {
        case LayoutDecodeResult::kTooShort:
            ++counters_.tooShort;
            return ScreenOutcome::kTooShort;
        case LayoutDecodeResult::kUnknownReportId:
            ++counters_.unknownReportId;
            return ScreenOutcome::kUnknownReportId;
        case LayoutDecodeResult::kOk:
            break;
    }
    const int slots = decoded_.slotCount;
    if (!decoded_.hasCount || quirks_.noContactCount) {
        // Each report is a frame of its own; without a count it cannot be known to
        // hold every contact, so only the quirk lifts the ones it leaves out.
        entryCount_ = 0;
        pending_ = false;
        for (int i = 0; i < slots; ++i) AddEntry(decoded_.slots[i], i, static_cast<uint32_t>(i));
        Commit(quirks_.liftWhenNotSeen, tick, report);
        return ScreenOutcome::kFrame;
    }
    const int32_t count = decoded_.contactCount;
    if (counters_.framePerReport) {
        // Each report is a frame of its own; contacts it leaves out stay until their
        // own up or their silence. A count of 0 says no contact touches.
        entryCount_ = 0;
        pending_ = false;
        const int take = static_cast<int>(std::clamp<int64_t>(count, 0, slots));
        for (int i = 0; i < take; ++i) AddEntry(decoded_.slots[i], i, static_cast<uint32_t>(i));
        Commit(count <= 0, tick, report);
        return ScreenOutcome::kFrame;
    }
    // The first report of a frame carries its contact count, the rest 0 (hybrid);
    // a parallel screen's every report is a first one.
    const bool restart = pending_ && count > 0;
    if (count > 0 || !pending_) {
        // A frame cut short keeps what it gathered: those contacts go on with this
        // report's (a newer entry of the same contact replaces the older).
        if (!restart) entryCount_ = 0;
        expected_ = std::max<int32_t>(count, 0);
        received_ = 0;
        pending_ = true;
    }
    const int take = static_cast<int>(std::min<int64_t>(slots, expected_ - received_));
    for (int i = 0; i < take; ++i) {
        AddEntry(decoded_.slots[i], i, static_cast<uint32_t>(received_ + i));
    }
    received_ += take;
    if (restart) {
        ++counters_.abandonedFrames;
        if (++restartsInRow_ >= kRestartsForFramePerReport) counters_.framePerReport = true;
        if (received_ < expected_ || counters_.framePerReport) {
            // Handed on now, none lifted for being left out: the frame may never
            // complete (a device with fewer slots than its count), and a touch must
            // not go silent for it.
            pending_ = false;
            Commit(false, tick, report);
            if (!counters_.framePerReport) {
                // This report's contacts stay gathered for the frame it began.
                pending_ = true;
                for (int i = 0; i < take; ++i) {
                    AddEntry(decoded_.slots[i], i, static_cast<uint32_t>(i));
                }
            }
            return ScreenOutcome::kFrame;
        }
    }
    if (received_ < expected_) return ScreenOutcome::kPending;
    pending_ = false;
    restartsInRow_ = 0;
    Commit(true, tick, report);
    return ScreenOutcome::kFrame;
}

bool GenericTouchScreen::Expire(uint32_t tick, PanelInputReport& report) {
    bool held = false;
    for (int i = 0; i < contactCount_; ++i) {
        if (contacts_[i].touching && tick - contacts_[i].lastSeen > kContactTimeoutMs) {
            if (slots_[0].contact == i || slots_[1].contact == i) held = true;
        }
    }
    if (!held) return false;
    entryCount_ = 0;
    pending_ = false;
    Commit(false, tick, report);
    return true;
}

void GenericTouchScreen::Commit(bool liftNotSeen, uint32_t tick, PanelInputReport& report) {
    bool seen[kMaxContacts] = {};
    for (int e = 0; e < entryCount_; ++e) {
        const Entry& entry = entries_[e];
        int i = Find(entry.key);
        if (i < 0) {
            if (!entry.touching || contactCount_ == kMaxContacts) continue;
            i = contactCount_++;
            contacts_[i] = Contact();
            contacts_[i].key = entry.key;
            contacts_[i].arrival = nextArrival_++;
        }
        Contact& c = contacts_[i];
        c.touching = entry.touching;
        c.x = entry.x;
        c.y = entry.y;
        c.lastSeen = tick;
        seen[i] = true;
    }
    entryCount_ = 0;
    for (int i = 0; i < contactCount_; ++i) {
        Contact& c = contacts_[i];
        if (seen[i] || !c.touching) continue;
        if (liftNotSeen) {
            c.touching = false;
            ++counters_.liftedNotSeen;
        } else if (tick - c.lastSeen > kContactTimeoutMs) {
            c.touching = false;
            ++counters_.liftedTimedOut;
        }
    }

    // Each of the two keeps its contact while it touches; a slot free before this
    // frame takes the earliest-arrived touching contact that has none.
    bool touching[2] = {false, false};
    const bool wasFree[2] = {slots_[0].contact < 0, slots_[1].contact < 0};
    for (int k = 0; k < 2; ++k) {
        Slot& s = slots_[k];
        if (wasFree[k]) continue;
        const Contact& c = contacts_[s.contact];
        s.x = c.x;
        s.y = c.y;
        touching[k] = c.touching;
        if (!c.touching) s.contact = -1;
    }
    for (int k = 0; k < 2; ++k) {
        if (!wasFree[k]) continue;
        int best = -1;
        for (int i = 0; i < contactCount_; ++i) {
            if (!contacts_[i].touching || slots_[0].contact == i || slots_[1].contact == i) {
                continue;
            }
            if (best < 0 || contacts_[i].arrival < contacts_[best].arrival) best = i;
        }
        if (best < 0) continue;
        Slot& s = slots_[k];
        const Contact& c = contacts_[best];
        s.contact = best;
        const uint32_t id = quirks_.idsStartAtOne ? c.key - 1 : c.key;
        s.id = static_cast<uint8_t>(id & 0xFF);
        s.x = c.x;
        s.y = c.y;
        touching[k] = true;
    }
    ignoredLast_ = 0;
    for (int i = 0; i < contactCount_; ++i) {
        if (contacts_[i].touching && slots_[0].contact != i && slots_[1].contact != i) {
            ++ignoredLast_;
        }
    }
    counters_.ignoredContacts += static_cast<uint32_t>(ignoredLast_);

    // Lifted contacts are forgotten; the slots follow their contacts' new places.
    int kept = 0;
    int moved[kMaxContacts];
    for (int i = 0; i < contactCount_; ++i) {
        moved[i] = -1;
        if (!contacts_[i].touching) continue;
        moved[i] = kept;
        contacts_[kept++] = contacts_[i];
    }
    contactCount_ = kept;
    for (Slot& s : slots_) {
        if (s.contact >= 0) s.contact = moved[s.contact];
    }

    ++counters_.frames;
    report = PanelInputReport();
    report.reportId = kPanelReportId;
    PanelContact* out[2] = {&report.contact1, &report.contact2};
    for (int k = 0; k < 2; ++k) {
        out[k]->status = touching[k] ? 1 : 0;
        out[k]->id = slots_[k].id;
        out[k]->x = slots_[k].x;
        out[k]->y = slots_[k].y;
    }
}

}  // namespace tactra
