// The plug-in module: everything, CreatePlugin included, comes from orbitpane_core.
