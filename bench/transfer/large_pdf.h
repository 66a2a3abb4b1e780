#pragma once

// A valid one-page PDF of an exact size, produced piece by piece at any offset, so a server can
// stream hundreds of MiB without holding them. The bulk is one content stream made of comment
// lines, which a PDF reader skips; the cross-reference table points at the real offsets.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace lectoria::bench {

class LargePdf {
public:
    explicit LargePdf(size_t totalSize) : total_(totalSize) {
        filler_.resize(256 * 1024 + kLineSize);
        for (size_t i = 0; i < filler_.size(); ++i)
            filler_[i] = kLine[i % kLineSize];
        size_t streamSize = totalSize;
        for (int pass = 0; pass < 4; ++pass) { // the offsets' digits depend on the stream's size
            Build(streamSize);
            streamSize = totalSize - head_.size() - tail_.size();
        }
        Build(streamSize);
        streamSize_ = streamSize;
    }

    size_t size() const { return total_; }

    // A pointer to the bytes at `offset`, valid for the returned count (no copy in the bulk).
    std::pair<const char*, size_t> View(size_t offset, size_t most) const {
        if (offset < head_.size())
            return {head_.data() + offset, std::min(most, head_.size() - offset)};
        const size_t inStream = offset - head_.size();
        if (inStream < streamSize_) {
            const size_t start = inStream % kLineSize;
            const size_t n = std::min({most, streamSize_ - inStream, filler_.size() - start});
            return {filler_.data() + start, n};
        }
        const size_t inTail = inStream - streamSize_;
        return {tail_.data() + inTail, std::min(most, tail_.size() - inTail)};
    }

private:
    static constexpr char kLine[] = "% Lectoria : page de remplissage pour la mesure du debit ......\n";
    static constexpr size_t kLineSize = sizeof(kLine) - 1;
    static_assert(kLineSize == 64);

    void Build(size_t streamSize) {
        const std::vector<std::string> objects = {
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R >>",
        };
        std::vector<size_t> offsets;
        head_ = "%PDF-1.4\n";
        for (size_t i = 0; i < objects.size(); ++i) {
            offsets.push_back(head_.size());
            head_ += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
        }
        offsets.push_back(head_.size());
        head_ += "4 0 obj\n<< /Length " + std::to_string(streamSize) + " >>\nstream\n";
        tail_ = "\nendstream\nendobj\n";
        const size_t xref = head_.size() + streamSize + tail_.size();
        tail_ += "xref\n0 5\n0000000000 65535 f \n";
        for (size_t offset : offsets) {
            char line[32];
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
            tail_ += line;
        }
        tail_ += "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    }

    size_t total_;
    size_t streamSize_ = 0;
    std::string head_;
    std::string tail_;
    std::vector<char> filler_; // whole lines, so any offset in the stream starts inside it
};

} // namespace lectoria::bench
