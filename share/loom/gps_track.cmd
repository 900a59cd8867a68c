starttemplate transform
Transform { children [ %s ] }
endtemplate
startdata gps
Transform { translation -2.24812 -48.66564 0 children [ Shape { appearance Appearance { material DEF Mat_gps Material { diffuseColor 1 0.5 0 } } geometry Sphere { radius 0.3 } } Transform { translation 0.35 0.35 0 children Shape { geometry Text { string "gps" fontStyle FontStyle { size 0.4 } } } } ] }
enddata
