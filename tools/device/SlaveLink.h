#pragma once

#include <string>

namespace quorvane::device {

// A symbolic link at a fixed path pointing to the port, so a client can be
// configured once and find the device on every run. An older symbolic link
// there is replaced; anything else there is left alone and refused. The link
// is removed again when this goes away, unless it no longer points here.
class SlaveLink
{
public:
    SlaveLink(std::string linkPath, std::string target); // throws std::system_error
    ~SlaveLink();
    SlaveLink(const SlaveLink&) = delete;
    SlaveLink& operator=(const SlaveLink&) = delete;

private:
    void RefuseNonLink() const;
    void CreateInPlace() const;
    bool StillPointsHere() const;

    std::string linkPath_;
    std::string target_;
};

} // namespace quorvane::device
