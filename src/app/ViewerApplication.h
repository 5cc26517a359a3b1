#pragma once

namespace pelagon {

// Names the running application, the desktop entry its windows belong to, and gives them the
// program's icon. The windows' titles are exactly the program's own: no name of the application
// is appended to them.
void configureViewerApplication();

}  // namespace pelagon
