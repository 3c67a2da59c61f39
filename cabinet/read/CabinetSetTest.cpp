#include "cabinet/read/CabinetSetTest.h"

#include "cabinet/read/CabinetReader.h"

namespace {

// Reads every file; the decompression, the blocks' checksums and the catalog's CRC-64 of every
// file are the test.
class Tester : public CabinetVisitor {
public:
    Tester(const std::function<void(const std::string&, const std::string&, const std::string&)>&
               problem,
           const std::function<void(std::uint64_t)>& progress)
        : problem_(problem), progress_(progress) {}

    bool Begin(const CabinetEntry&) override { return true; }
    // The reader takes the CRC-64 of every file and compares it with the catalog's.
    bool NeedsBytes() const override { return false; }
    bool Data(const std::uint8_t*, std::size_t) override { return true; }
    void End(const CabinetEntry& entry, const std::string& problem) override {
        bytes_ += entry.Size;
        if (progress_)
            progress_(bytes_);
        if (problem.empty()) {
            ++result_.Good;
            return;
        }
        ++result_.Bad;
        if (problem_)
            problem_(entry.Part, entry.Name, problem);
    }
    void PartProblem(const std::string& part, const std::string& problem) override {
        ++result_.Bad;
        if (problem_)
            problem_(part, {}, problem);
    }
    CabinetSetTestResult& Result() { return result_; }

private:
    const std::function<void(const std::string&, const std::string&, const std::string&)>& problem_;
    const std::function<void(std::uint64_t)>& progress_;
    std::uint64_t bytes_ = 0;
    CabinetSetTestResult result_;
};

} // namespace

CabinetSetTestResult
TestCabinetSet(const std::vector<std::string>& parts,
               const std::function<void(const std::string& part, const std::string& name,
                                        const std::string& reason)>& problem,
               const std::function<bool()>& keepGoing,
               const std::function<void(std::uint64_t)>& progress) {
    Tester tester(problem, progress);
    tester.Result().Completed = ReadCabinetSet(parts, tester, keepGoing);
    return tester.Result();
}
