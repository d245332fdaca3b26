#ifndef KBD_PACKER_PACKERROR_H
#define KBD_PACKER_PACKERROR_H

#include <string>

// A refusal of the content: where it is and what is wrong, as "file:line: message".
struct PackError
{
    std::string file;
    int line = 0;
    std::string message;

    std::string Text() const
    {
        return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
    }
};

#endif
