#pragma once

namespace Tivrand {

// The application object: sets up the program, opens its store and its main window.
class TivrandAppApp {
public:
    // Runs the program until its last window closes; answers the exit status.
    static int run(int argc, char** argv);
};

} // namespace Tivrand
