// Stands in for a folder whose units have not been written yet, so its library target exists.
