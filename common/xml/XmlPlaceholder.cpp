// Message content XML: filled in by the content module.
