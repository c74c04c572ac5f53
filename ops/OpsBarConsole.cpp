#include "ops/OpsBarConsole.h"

#include <algorithm>
#include <ostream>
#include <unistd.h>

void TBarConsole::AddLine(const std::string& line) {
    if (!next_ || !(all_ || line.find("Error:") != std::string::npos || line.find("Warning:") != std::string::npos))
        return;
    EndBar();
    next_->AddLine(line);
}

void TBarConsole::DrawBar(std::ostream& err, const std::string& label, int position, int maximum) {
    if (!isatty(STDERR_FILENO) || maximum <= 0) return;
    constexpr int width = 40;
    const int filled = std::min(width, position * width / maximum);
    err << "\r" << label << " [" << std::string(static_cast<std::size_t>(filled), '#')
        << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << position << "/" << maximum;
    err.flush();
    err_ = &err;
}

void TBarConsole::EndBar() {
    if (!err_) return;
    *err_ << "\n";
    err_ = nullptr;
}
