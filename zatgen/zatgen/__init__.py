"""zatgen: compiles a unit's schema (.zat) into C++ types, type tables and generic-interface glue."""
