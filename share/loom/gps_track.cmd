starttemplate transform
Transform { children [ %s ] }
endtemplate
modelset track 8
Transform { translation -2.24812 -48.66564 0 children [ Shape { appearance Appearance { material Material { diffuseColor 1 0.5 0 } } geometry Sphere { radius 0.2 } } ] }
enddata
