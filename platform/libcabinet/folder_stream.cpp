#include "platform/libcabinet/folder_stream.h"

#include <algorithm>
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
    previous_.reset();
}

std::span<std::uint8_t> FolderStream::freeSpace() {
    if (!pending_) {
        pending_ = pipeline_.newRun();
    }
    return {pending_->bytes.get() + pending_->size, kRunSize - pending_->size};
}

void FolderStream::commit(std::size_t count, const BlockWritten& written) {
    pending_->size += count;
    uncompressed_ += count;
    if (pending_->size == kRunSize) {
        submitPending(written);
    }
}

std::uint64_t FolderStream::pendingWorst() const {
    return pending_ && pending_->size > 0 ? worstRunSize(pending_->size, reserve_) : 0;
}

void FolderStream::submitPending(const BlockWritten& written) {
    auto job = std::make_shared<BlockJob>();
    job->sequence = nextSequence_++;
    job->type = type_;
    job->input = pending_;
    job->previous = previous_;
    previous_ = std::move(pending_);
    pending_.reset();
    blocks_ += static_cast<std::uint32_t>((job->input->size + kBlockBytes - 1) / kBlockBytes);
    inFlightWorst_ += worstRunSize(job->input->size, reserve_);
    pipeline_.submit(std::move(job));
    // A full window is waited on for one run only: the caller's thread comes back to its
    // callbacks (and so to its events) after every run the workers finish.
    while (pipeline_.inFlight() >= pipeline_.window()) {
        write(*pipeline_.takeFront(), written);
    }
    writeFinished(written);
}

void FolderStream::write(const BlockJob& job, const BlockWritten& written) {
    inFlightWorst_ -= worstRunSize(job.input->size, reserve_);
    if (job.failure) {
        throw *job.failure;
    }
    if (job.sequence == rollbackSequence_) {
        rollbackLength_ = data_.size();
    }
    data_.append(job.encoded.bytes.get(), job.encoded.size);
    ++writtenSequence_;
    if (written) {
        std::size_t left = job.input->size;
        for (const std::uint32_t payload : job.encoded.payloads) {
            const std::size_t plain = std::min(left, kBlockBytes);
            left -= plain;
            written(payload, static_cast<std::uint32_t>(plain));
        }
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
    previous_.reset();
}

FolderSnapshot FolderStream::snapshot() {
    FolderSnapshot taken;
    taken.sequence = nextSequence_;
    taken.blocks = blocks_;
    taken.uncompressed = uncompressed_;
    taken.pending = pending_;
    taken.pendingSize = pending_ ? pending_->size : 0;
    taken.previous = previous_;
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
            inFlightWorst_ -= worstRunSize(job->input->size, reserve_);
        }
    }
    if (writtenSequence_ > snapshot.sequence) {
        data_.truncate(rollbackLength_);
        writtenSequence_ = snapshot.sequence;
    }
    nextSequence_ = snapshot.sequence;
    blocks_ = snapshot.blocks;
    uncompressed_ = snapshot.uncompressed;
    if (snapshot.pending && snapshot.pending == pending_) {
        // Still the run being filled: the undone file's bytes all lie past the mark.
        pending_->size = snapshot.pendingSize;
    } else if (snapshot.pendingSize > 0) {
        // The run was sent off since; its first bytes start the run again.
        pending_ = pipeline_.newRun();
        std::memcpy(pending_->bytes.get(), snapshot.pending->bytes.get(), snapshot.pendingSize);
        pending_->size = snapshot.pendingSize;
    } else {
        pending_.reset();
    }
    previous_ = snapshot.previous;
}

} // namespace ostrivane::cabinet
