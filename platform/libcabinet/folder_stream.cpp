#include "platform/libcabinet/folder_stream.h"

#include "platform/libcabinet/block_codec.h"

#include <cstring>

namespace ostrivane::cabinet {

void FolderStream::open(TCOMP type) {
    open_ = true;
    type_ = type;
    start_ = data_.size();
    blocks_ = 0;
    uncompressed_ = 0;
    files_ = 0;
    pending_.reset();
    history_.reset();
}

std::span<std::uint8_t> FolderStream::freeSpace() {
    if (!pending_) {
        pending_ = BlockData::make();
    }
    return {pending_->bytes.get() + pending_->size, kBlockSize - pending_->size};
}

void FolderStream::commit(std::size_t count, const BlockWritten& written) {
    pending_->size += count;
    uncompressed_ += count;
    if (pending_->size == kBlockSize) {
        submitPending(written);
    }
}

std::uint64_t FolderStream::pendingWorst() const {
    return pending_ && pending_->size > 0 ? worstRecordSize(pending_->size, reserve_) : 0;
}

void FolderStream::submitPending(const BlockWritten& written) {
    auto job = std::make_shared<BlockJob>();
    job->sequence = nextSequence_++;
    job->type = type_;
    job->input = pending_;
    job->dictionary = history_;
    history_ = std::move(pending_);
    pending_.reset();
    ++blocks_;
    inFlightWorst_ += worstRecordSize(job->input->size, reserve_);
    pipeline_.submit(std::move(job));
    while (pipeline_.inFlight() >= pipeline_.window()) {
        write(*pipeline_.takeFront(), written);
    }
    writeFinished(written);
}

void FolderStream::write(const BlockJob& job, const BlockWritten& written) {
    inFlightWorst_ -= worstRecordSize(job.input->size, reserve_);
    if (job.failure) {
        throw *job.failure;
    }
    if (job.sequence == rollbackSequence_) {
        rollbackLength_ = data_.size();
    }
    data_.append(job.record.data(), job.record.size());
    ++writtenSequence_;
    if (written) {
        written(static_cast<std::uint32_t>(job.record.size() - 8 - reserve_),
                static_cast<std::uint32_t>(job.input->size));
    }
}

void FolderStream::writeFinished(const BlockWritten& written) {
    while (pipeline_.frontDone()) {
        write(*pipeline_.takeFront(), written);
    }
}

void FolderStream::drain(const BlockWritten& written) {
    while (auto job = pipeline_.takeFront()) {
        write(*job, written);
    }
}

void FolderStream::close(const BlockWritten& written) {
    if (pending_ && pending_->size > 0) {
        submitPending(written);
    }
    drain(written);
    open_ = false;
    pending_.reset();
    history_.reset();
}

FolderSnapshot FolderStream::snapshot() {
    FolderSnapshot taken;
    taken.sequence = nextSequence_;
    taken.blocks = blocks_;
    taken.uncompressed = uncompressed_;
    if (pending_) {
        taken.pending.assign(pending_->bytes.get(), pending_->bytes.get() + pending_->size);
    }
    taken.history = history_;
    rollbackSequence_ = nextSequence_;
    rollbackLength_ = data_.size();
    return taken;
}

void FolderStream::rollback(const FolderSnapshot& snapshot, const BlockWritten& written) {
    // Records made before the snapshot belong to files already added: they stay.
    while (auto job = pipeline_.takeFront()) {
        if (job->sequence < snapshot.sequence) {
            write(*job, written);
        } else {
            inFlightWorst_ -= worstRecordSize(job->input->size, reserve_);
        }
    }
    if (writtenSequence_ > snapshot.sequence) {
        data_.truncate(rollbackLength_);
        writtenSequence_ = snapshot.sequence;
    }
    nextSequence_ = snapshot.sequence;
    blocks_ = snapshot.blocks;
    uncompressed_ = snapshot.uncompressed;
    pending_ = BlockData::make();
    if (!snapshot.pending.empty()) {
        std::memcpy(pending_->bytes.get(), snapshot.pending.data(), snapshot.pending.size());
    }
    pending_->size = snapshot.pending.size();
    history_ = snapshot.history;
}

} // namespace ostrivane::cabinet
