# Fuzz targets of skin controls, built by the one fuzz project (cmake/fuzz).
tarnwick_fuzz_target(html_fuzz tarnwick_skin_html)
tarnwick_fuzz_target(hint_template_fuzz tarnwick_skin_hint_templates)
